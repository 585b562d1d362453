// Colour values as elements and the toolkit carry them: a negative value (0xFF0000nn in
// practice) names system colour nn; any other value is a plain 0x00BBGGRR colour.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>

namespace fliran {

inline COLORREF ColorToRgb(std::uint32_t color) {
  if (static_cast<std::int32_t>(color) < 0) return GetSysColor(static_cast<int>(color & 0xFFu));
  return static_cast<COLORREF>(color);
}

}  // namespace fliran
