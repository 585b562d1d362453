// Colours, RAII owners of GDI handles and TGraphicTool, the font or brush object of a control.
//
// A colour value is 32-bit: a negative value (high byte 0xFF in practice, as 0xFF00000F) names
// the system colour with the index in its low byte; any other value is 0x00BBGGRR.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "runtime/method.h"
#include "toolkit/obj.h"
#include "toolkit/win.h"

namespace fliran {

inline constexpr std::uint32_t ColorBtnFace = 0xFF00000F;
inline constexpr std::uint32_t ColorWindow = 0xFF000005;
inline constexpr std::uint32_t ColorWindowText = 0xFF000008;

// The current RGB value of a colour (system colours through GetSysColor).
COLORREF ColorToRgb(std::uint32_t color);

// Owners of GDI objects and icons: the handle is released when the owner goes.
struct TGdiDelete {
  void operator()(void* handle) const { if (handle != nullptr) DeleteObject(static_cast<HGDIOBJ>(handle)); }
};
struct TIconDelete {
  void operator()(void* handle) const { if (handle != nullptr) DestroyIcon(static_cast<HICON>(handle)); }
};
template <class H>
using TGdiHandle = std::unique_ptr<std::remove_pointer_t<H>, TGdiDelete>;
using TFontHandle = TGdiHandle<HFONT>;
using TBrushHandle = TGdiHandle<HBRUSH>;
using TBitmapHandle = TGdiHandle<HBITMAP>;
using TRegionHandle = TGdiHandle<HRGN>;
using TIconHandle = std::unique_ptr<std::remove_pointer_t<HICON>, TIconDelete>;

// A font or a brush. The platform object is made on first use and made anew after a change;
// ChangeEvent tells the owner (a control repaints itself).
class TGraphicTool : public TObj {
 public:
  enum class Kind : std::uint8_t { Font, Brush };

  explicit TGraphicTool(Kind kind) : kind_(kind) {}

  Kind ToolKind() const { return kind_; }

  // Font: text colour; brush: fill colour.
  std::uint32_t Color() const { return color_; }
  void SetColor(std::uint32_t color);

  // Font only. An empty name with height 0 is the platform's default GUI font.
  const std::string& FontName() const { return name_; }   // CP1251
  void SetFontName(std::string name);
  int FontHeight() const { return height_; }               // logical units (negative: character height)
  void SetFontHeight(int height);
  std::uint8_t FontStyle() const { return style_; }        // FontBold | FontItalic | FontUnderline | FontStrikeOut
  void SetFontStyle(std::uint8_t style);
  std::uint8_t FontCharSet() const { return charSet_; }
  void SetFontCharSet(std::uint8_t charSet);

  // The platform object (HFONT or HBRUSH), owned by this tool; null only for a default font.
  HGDIOBJ Handle();
  HFONT FontHandle() { return static_cast<HFONT>(Handle()); }
  HBRUSH BrushHandle() { return static_cast<HBRUSH>(Handle()); }

  // Copies every setting of another tool of the same kind (not its change event).
  void Assign(const TGraphicTool& other);

  TMethod<void(TGraphicTool* sender)> ChangeEvent;

 protected:
  ~TGraphicTool() override = default;

 private:
  void Changed();

  Kind kind_;
  std::uint32_t color_ = 0;
  std::string name_;
  int height_ = 0;
  std::uint8_t style_ = 0;
  std::uint8_t charSet_ = DEFAULT_CHARSET;
  TGdiHandle<HGDIOBJ> handle_;
};

}  // namespace fliran
