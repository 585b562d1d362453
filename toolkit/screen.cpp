// The screen's pixels per inch, read once, for font heights.
#include "toolkit/win.h"

#include "runtime/font.h"

namespace fliran {

namespace {

int ScreenPixelsPerInch() {
  static const int pixelsPerInch = [] {
    HDC screen = GetDC(nullptr);
    const int value = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return value;
  }();
  return pixelsPerInch;
}

}  // namespace

int FontHeight(int points) { return FontHeightFor(points, ScreenPixelsPerInch()); }

}  // namespace fliran
