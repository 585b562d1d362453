// Colour resolution and the font / brush objects of controls.
#include "toolkit/graphics.h"

#include <algorithm>
#include <string>

#include "runtime/cp1251.h"
#include "runtime/font.h"

namespace fliran {

COLORREF ColorToRgb(std::uint32_t color) {
  if (static_cast<std::int32_t>(color) < 0) return GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color);
}

void TGraphicTool::SetColor(std::uint32_t color) {
  if (color == color_) return;
  color_ = color;
  // A font's colour is not part of the platform font: only the owner needs to know.
  if (kind_ == Kind::Brush) {
    Changed();
  } else if (ChangeEvent) {
    ChangeEvent(this);
  }
}

void TGraphicTool::SetFontName(std::string name) {
  if (name == name_) return;
  name_ = std::move(name);
  Changed();
}

void TGraphicTool::SetFontHeight(int height) {
  if (height == height_) return;
  height_ = height;
  Changed();
}

void TGraphicTool::SetFontStyle(std::uint8_t style) {
  if (style == style_) return;
  style_ = style;
  Changed();
}

void TGraphicTool::SetFontCharSet(std::uint8_t charSet) {
  if (charSet == charSet_) return;
  charSet_ = charSet;
  Changed();
}

void TGraphicTool::Assign(const TGraphicTool& other) {
  color_ = other.color_;
  name_ = other.name_;
  height_ = other.height_;
  style_ = other.style_;
  charSet_ = other.charSet_;
  Changed();
}

void TGraphicTool::Changed() {
  // The old object stays alive until the owner has switched to the new one (a window must never
  // hold a deleted font).
  auto old = std::move(handle_);
  if (ChangeEvent) ChangeEvent(this);
}

HGDIOBJ TGraphicTool::Handle() {
  if (handle_) return handle_.get();
  if (kind_ == Kind::Brush) {
    handle_.reset(CreateSolidBrush(ColorToRgb(color_)));
    return handle_.get();
  }
  if (name_.empty() && height_ == 0) return GetStockObject(DEFAULT_GUI_FONT);
  LOGFONTW lf{};
  lf.lfHeight = height_;
  lf.lfWeight = (style_ & FontBold) != 0 ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (style_ & FontItalic) != 0 ? TRUE : FALSE;
  lf.lfUnderline = (style_ & FontUnderline) != 0 ? TRUE : FALSE;
  lf.lfStrikeOut = (style_ & FontStrikeOut) != 0 ? TRUE : FALSE;
  lf.lfCharSet = charSet_;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const WideString face = Cp1251ToWide(name_);
  std::copy_n(face.begin(), std::min<std::size_t>(face.size(), LF_FACESIZE - 1), lf.lfFaceName);
  handle_.reset(CreateFontIndirectW(&lf));
  return handle_.get();
}

}  // namespace fliran
