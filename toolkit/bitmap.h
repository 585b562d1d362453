// TBitmap: a picture held either as a device-dependent bitmap or as device-independent bits,
// drawn at natural size or stretched into a rectangle.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/graphics.h"
#include "toolkit/obj.h"
#include "toolkit/win.h"

namespace fliran {

class TBitmap : public TObj {
 public:
  // Empty; with both sizes positive, a screen-compatible bitmap of that size.
  TBitmap() = default;
  TBitmap(std::int32_t width, std::int32_t height);

  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  bool Empty() const { return !handle_ && bits_.empty(); }

  // The device-dependent bitmap, or null.
  HBITMAP Handle() const { return handle_.get(); }
  // Releases the current content and takes ownership of the handle; width and height come from
  // the platform. A null handle leaves the bitmap empty.
  void SetHandle(HBITMAP bitmap);
  // Releases the current content and keeps a copy of device-independent bits (header with
  // its colour table, then the pixels). Bits shorter than the header describes (or a header
  // shorter than its colour table) are refused: the bitmap stays empty.
  void SetBits(const BITMAPINFO& info, std::size_t infoSize, const void* pixels, std::size_t pixelBytes);
  void Clear();

  // Natural size at (x, y). An empty bitmap draws nothing.
  void Draw(HDC dc, int x, int y);
  // Stretched into the rectangle (the caller chooses the stretch mode of dc).
  void StretchDraw(HDC dc, const RECT& rect);

 protected:
  ~TBitmap() override = default;

 private:
  bool DrawBits(HDC dc, int x, int y, int w, int h);
  bool ConvertBitsToHandle();

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  TBitmapHandle handle_;
  std::vector<std::uint8_t> info_;   // BITMAPINFO with colour table
  std::vector<std::uint8_t> bits_;   // pixels
};

}  // namespace fliran
