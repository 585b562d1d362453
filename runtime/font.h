// TFontRec, the font description that visual elements carry.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace fliran {

enum : std::uint8_t { FontBold = 1, FontItalic = 2, FontUnderline = 4, FontStrikeOut = 8 };

struct TFontRec {
  std::string Name;
  std::uint8_t Size = 0;      // points
  std::uint8_t Style = 0;     // FontBold | FontItalic | ...
  std::uint32_t Color = 0;    // colour value (0xFF0000nn names system colour nn)
  std::uint8_t CharSet = 0;   // 204 Cyrillic, 1 default
};

inline void FillFontRec(TFontRec* font, std::string name, std::uint8_t size, std::uint8_t style,
                        std::uint8_t charSet, std::uint32_t color) {
  font->Name = std::move(name);
  font->Size = size;
  font->Style = style;
  font->Color = color;
  font->CharSet = charSet;
}

// Font height in logical units for a size in points on a screen with the given vertical pixels
// per inch: -((points * dpi + 36) / 72), the division truncating toward zero.
constexpr int FontHeightFor(int points, int pixelsPerInch) { return -((points * pixelsPerInch + 36) / 72); }

// The same for this program's screen; its pixels per inch are read once and kept (Win32 builds).
int FontHeight(int points);

}  // namespace fliran
