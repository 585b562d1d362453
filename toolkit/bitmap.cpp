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
  infoCopy_.clear();
  bitsCopy_.clear();
  info_ = nullptr;
  pixels_ = nullptr;
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

namespace {

// The bytes that the header's pixels take: rows of width × bit count bits, each rounded up to
// 4 bytes. Compressed pixels state their size in the header. 0 when the header makes no sense
// or the size does not fit into 32 bits.
std::uint64_t PixelBytesOf(const BITMAPINFOHEADER& h) {
  if (h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes != 1) return 0;
  const std::uint64_t width = static_cast<std::uint32_t>(h.biWidth);
  // |height| in 64 bits: the lowest 32-bit value has no positive counterpart in 32.
  const std::uint64_t height = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(h.biHeight)));
  if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return h.biSizeImage;
  switch (h.biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return 0;
  }
  // At most 2^31 × 32 bits per row and 2^31 rows: both products stay below 2^64.
  const std::uint64_t stride = (width * h.biBitCount + 31) / 32 * 4;
  const std::uint64_t total = stride * height;
  return total > 0xFFFFFFFFu ? 0 : total;
}

// The bytes of the header and its colour table (or the three masks of BI_BITFIELDS).
std::uint64_t InfoBytesOf(const BITMAPINFOHEADER& h) {
  std::uint64_t colours = h.biClrUsed;
  if (colours == 0 && h.biBitCount >= 1 && h.biBitCount <= 8) colours = std::uint64_t{1} << h.biBitCount;
  if (h.biCompression == BI_BITFIELDS) colours = 3;
  return std::uint64_t{h.biSize} + colours * sizeof(RGBQUAD);
}

}  // namespace

void TBitmap::SetBits(const BITMAPINFO& info, std::size_t infoSize, const void* pixels, std::size_t pixelBytes) {
  Clear();
  TakeBits(info, infoSize, pixels, pixelBytes, true);
}

bool TBitmap::SetResource(HMODULE module, const char* name) {
  Clear();
  HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(2));  // RT_BITMAP
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  const std::size_t size = found != nullptr ? SizeofResource(module, found) : 0;
  if (data == nullptr || size < sizeof(BITMAPINFOHEADER)) return false;
  // A bitmap resource is a .bmp file without its file header: the header, its colour table, the pixels.
  const auto& info = *static_cast<const BITMAPINFO*>(data);
  const std::uint64_t infoSize = InfoBytesOf(info.bmiHeader);
  if (infoSize >= size) return false;
  const auto* pixels = static_cast<const std::uint8_t*>(data) + infoSize;
  TakeBits(info, static_cast<std::size_t>(infoSize), pixels, size - static_cast<std::size_t>(infoSize), false);
  return !Empty();
}

void TBitmap::TakeBits(const BITMAPINFO& info, std::size_t infoSize, const void* pixels, std::size_t pixelBytes,
                       bool copy) {
  if (infoSize < sizeof(BITMAPINFOHEADER) || pixels == nullptr || pixelBytes == 0) return;
  const BITMAPINFOHEADER& header = info.bmiHeader;
  // The platform reads as many pixels as the header describes, and the colour table after it:
  // bits that are shorter than that are refused, and the bitmap stays empty.
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biSize > infoSize) return;
  const std::uint64_t needed = PixelBytesOf(header);
  if (needed == 0 || needed > pixelBytes || InfoBytesOf(header) > infoSize) return;
  if (copy) {
    infoCopy_.resize(infoSize);
    std::memcpy(infoCopy_.data(), &info, infoSize);
    bitsCopy_.resize(pixelBytes);
    std::memcpy(bitsCopy_.data(), pixels, pixelBytes);
    info_ = reinterpret_cast<const BITMAPINFO*>(infoCopy_.data());
    pixels_ = bitsCopy_.data();
  } else {
    info_ = &info;
    pixels_ = pixels;
  }
  width_ = header.biWidth;
  // A negative height stores the rows top-down; its size check above rules out the lowest value.
  height_ = header.biHeight < 0 ? -header.biHeight : header.biHeight;
}

bool TBitmap::DrawBits(HDC dc, int x, int y, int w, int h) {
  const int lines = StretchDIBits(dc, x, y, w, h, 0, 0, width_, height_, pixels_, info_, DIB_RGB_COLORS, SRCCOPY);
  return lines != 0 && lines != static_cast<int>(GDI_ERROR);
}

bool TBitmap::ConvertBitsToHandle() {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateDIBitmap(screen, &info_->bmiHeader, CBM_INIT, pixels_, info_, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (bitmap == nullptr) return false;
  const std::int32_t w = width_;
  const std::int32_t h = height_;
  Clear();
  handle_.reset(bitmap);
  width_ = w;
  height_ = h;
  return true;
}

void TBitmap::Draw(HDC dc, int x, int y) {
  if (handle_) {
    TMemoryDc memory(dc, handle_.get());
    if (memory.Get() != nullptr) BitBlt(dc, x, y, width_, height_, memory.Get(), 0, 0, SRCCOPY);
  } else if (pixels_ != nullptr) {
    DrawBits(dc, x, y, width_, height_);
  }
}

void TBitmap::StretchDraw(HDC dc, const RECT& rect) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  if (pixels_ != nullptr) {
    if (DrawBits(dc, rect.left, rect.top, w, h)) return;
    if (!ConvertBitsToHandle()) return;
  }
  if (!handle_) return;
  TMemoryDc memory(dc, handle_.get());
  if (memory.Get() != nullptr) StretchBlt(dc, rect.left, rect.top, w, h, memory.Get(), 0, 0, width_, height_, SRCCOPY);
}

}  // namespace fliran
