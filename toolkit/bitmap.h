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
  bool Empty() const { return !handle_ && pixels_ == nullptr; }

  // The device-dependent bitmap, or null.
  HBITMAP Handle() const { return handle_.get(); }
  // Releases the current content and takes ownership of the handle; width and height come from
  // the platform. A null handle leaves the bitmap empty.
  void SetHandle(HBITMAP bitmap);
  // Releases the current content and keeps a copy of device-independent bits (header with
  // its colour table, then the pixels). Bits shorter than the header describes (or a header
  // shorter than its colour table) are refused: the bitmap stays empty.
  void SetBits(const BITMAPINFO& info, std::size_t infoSize, const void* pixels, std::size_t pixelBytes);
  // Releases the current content and draws from then on the bitmap resource name (RT_BITMAP) of
  // module where the module holds it: no copy is made, so the picture takes no memory of its own
  // beyond the module's image, which stays mapped while the module is loaded (the caller keeps
  // it loaded while the bitmap lives; the program's own module always is). A missing resource,
  // or one shorter than its header describes, leaves the bitmap empty; answers whether it loaded.
  bool SetResource(HMODULE module, const char* name);
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

  // Keeps device-independent bits when they pass the header checks: copies them into the two
  // vectors, or only points at them (resource bits live as long as their module).
  void TakeBits(const BITMAPINFO& info, std::size_t infoSize, const void* pixels, std::size_t pixelBytes, bool copy);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  TBitmapHandle handle_;
  std::vector<std::uint8_t> infoCopy_;   // BITMAPINFO with colour table, when copied
  std::vector<std::uint8_t> bitsCopy_;   // pixels, when copied
  const BITMAPINFO* info_ = nullptr;     // the bits drawn: the copies above or a module's resource
  const void* pixels_ = nullptr;
};

}  // namespace fliran
