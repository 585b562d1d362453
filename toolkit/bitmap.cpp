// TBitmap: holding and drawing a picture.
#include "toolkit/bitmap.h"

#include <cstdlib>
#include <cstring>

namespace fliran {

namespace {

// A memory device context with a bitmap selected; everything is put back on destruction.
class TMemoryDc {
 public:
  TMemoryDc(HDC compatible, HBITMAP bitmap) : dc_(CreateCompatibleDC(compatible)) {
    if (dc_ != nullptr) old_ = SelectObject(dc_, bitmap);
  }
  ~TMemoryDc() {
    if (dc_ == nullptr) return;
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  TMemoryDc(const TMemoryDc&) = delete;
  TMemoryDc& operator=(const TMemoryDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_ = nullptr;
};

}  // namespace

TBitmap::TBitmap(std::int32_t width, std::int32_t height) {
  if (width <= 0 || height <= 0) return;
  HDC screen = GetDC(nullptr);
  handle_.reset(CreateCompatibleBitmap(screen, width, height));
  ReleaseDC(nullptr, screen);
  if (handle_) {
    width_ = width;
    height_ = height;
  }
}

void TBitmap::Clear() {
  handle_.reset();
  info_.clear();
  bits_.clear();
  width_ = 0;
  height_ = 0;
}

void TBitmap::SetHandle(HBITMAP bitmap) {
  Clear();
  if (bitmap == nullptr) return;
  handle_.reset(bitmap);
  BITMAP bm{};
  if (GetObjectW(bitmap, sizeof bm, &bm) != 0) {
    width_ = bm.bmWidth;
    height_ = bm.bmHeight;
  }
}

void TBitmap::SetBits(const BITMAPINFO& info, std::size_t infoSize, const void* pixels, std::size_t pixelBytes) {
  Clear();
  if (infoSize < sizeof(BITMAPINFOHEADER) || pixels == nullptr || pixelBytes == 0) return;
  info_.resize(infoSize);
  std::memcpy(info_.data(), &info, infoSize);
  bits_.resize(pixelBytes);
  std::memcpy(bits_.data(), pixels, pixelBytes);
  width_ = info.bmiHeader.biWidth;
  height_ = std::abs(info.bmiHeader.biHeight);  // negative height: rows stored top-down
}

bool TBitmap::DrawBits(HDC dc, int x, int y, int w, int h) {
  const auto* info = reinterpret_cast<const BITMAPINFO*>(info_.data());
  const int lines = StretchDIBits(dc, x, y, w, h, 0, 0, width_, height_, bits_.data(), info, DIB_RGB_COLORS, SRCCOPY);
  return lines != 0 && lines != static_cast<int>(GDI_ERROR);
}

bool TBitmap::ConvertBitsToHandle() {
  HDC screen = GetDC(nullptr);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(info_.data());
  HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, bits_.data(), info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (bitmap == nullptr) return false;
  const std::int32_t w = width_;
  const std::int32_t h = height_;
  info_.clear();
  bits_.clear();
  handle_.reset(bitmap);
  width_ = w;
  height_ = h;
  return true;
}

void TBitmap::Draw(HDC dc, int x, int y) {
  if (handle_) {
    TMemoryDc memory(dc, handle_.get());
    if (memory.Get() != nullptr) BitBlt(dc, x, y, width_, height_, memory.Get(), 0, 0, SRCCOPY);
  } else if (!bits_.empty()) {
    DrawBits(dc, x, y, width_, height_);
  }
}

void TBitmap::StretchDraw(HDC dc, const RECT& rect) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  if (!bits_.empty()) {
    if (DrawBits(dc, rect.left, rect.top, w, h)) return;
    if (!ConvertBitsToHandle()) return;
  }
  if (!handle_) return;
  TMemoryDc memory(dc, handle_.get());
  if (memory.Get() != nullptr) StretchBlt(dc, rect.left, rect.top, w, h, memory.Get(), 0, 0, width_, height_, SRCCOPY);
}

}  // namespace fliran
