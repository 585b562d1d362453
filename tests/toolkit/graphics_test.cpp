// Colours, brushes and bitmaps.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/control.h"
#include "toolkit/graphics.h"
#include "toolkit/win.h"
#include "toolkit_test.h"

namespace fliran {
namespace {

TEST(Colours, SystemColoursAreNamedByTheirLowByte) {
  EXPECT_EQ(ColorToRgb(0xFF00000F), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRgb(0xFF000005), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(ColorToRgb(0x00F0CAA6), 0x00F0CAA6u);
  EXPECT_EQ(ColorToRgb(0x00000000), 0u);
}

COLORREF BrushColour(HBRUSH brush) {
  LOGBRUSH lb{};
  GetObjectW(brush, sizeof lb, &lb);
  return lb.lbColor;
}

TEST(Brushes, ChildWithTheParentsColourUsesTheParentsBrush) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "brushes"));
  form->SetColor(0x00112233);
  TControl* same = CreateLabel(form.get(), "same");
  TControl* other = CreateLabel(form.get(), "other");
  EXPECT_EQ(same->Color(), 0x00112233u);  // inherited at creation
  other->SetColor(0x00445566);
  EXPECT_EQ(same->BrushHandle(), form->BrushHandle());
  EXPECT_NE(other->BrushHandle(), form->BrushHandle());
  EXPECT_EQ(BrushColour(other->BrushHandle()), 0x00445566u);
  other->SetColor(0x00778899);  // made anew for the new colour
  EXPECT_EQ(BrushColour(other->BrushHandle()), 0x00778899u);
}

TEST(Brushes, FontIsACopyOfTheParentsFont) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "fonts"));
  form->Font()->SetFontName("Arial");
  form->Font()->SetFontHeight(-11);
  TControl* child = CreateButton(form.get(), "x");
  EXPECT_EQ(child->Font()->FontName(), "Arial");
  EXPECT_EQ(child->Font()->FontHeight(), -11);
  child->Font()->SetFontHeight(-20);
  EXPECT_EQ(form->Font()->FontHeight(), -11);
  ASSERT_TRUE(child->CreateControlWindow());
  const auto font = reinterpret_cast<HFONT>(SendMessageW(child->Handle(), WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ASSERT_NE(GetObjectW(font, sizeof lf, &lf), 0);
  EXPECT_EQ(lf.lfHeight, -20);
}

// A 32-bit memory surface to draw into and read back.
class Surface {
 public:
  Surface(int w, int h) : dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    RECT r{0, 0, w, h};
    FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~Surface() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

 private:
  HDC dc_;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

TEST(Bitmaps, EmptyBitmapDrawsNothing) {
  auto bitmap = MakeObj<TBitmap>();
  EXPECT_TRUE(bitmap->Empty());
  Surface s(8, 8);
  bitmap->Draw(s.Dc(), 0, 0);
  bitmap->StretchDraw(s.Dc(), RECT{0, 0, 8, 8});
  EXPECT_EQ(s.At(3, 3), RGB(255, 255, 255));
}

TEST(Bitmaps, SetHandleReadsTheSizeFromThePlatform) {
  auto bitmap = MakeObj<TBitmap>();
  HDC screen = GetDC(nullptr);
  HBITMAP handle = CreateCompatibleBitmap(screen, 13, 7);
  ReleaseDC(nullptr, screen);
  bitmap->SetHandle(handle);
  EXPECT_FALSE(bitmap->Empty());
  EXPECT_EQ(bitmap->Width(), 13);
  EXPECT_EQ(bitmap->Height(), 7);
  auto sized = MakeObj<TBitmap>(4, 5);
  EXPECT_EQ(sized->Width(), 4);
  EXPECT_NE(sized->Handle(), nullptr);
  auto none = MakeObj<TBitmap>(0, 5);
  EXPECT_TRUE(none->Empty());
}

TEST(Bitmaps, BitsAreDrawnAndStretched) {
  // 2 x 1 pixels, bottom-up 32-bit: red, blue.
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = 2;
  bi.bmiHeader.biHeight = 1;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  const std::uint32_t pixels[2] = {0x00FF0000, 0x000000FF};  // BGRA in memory: red, blue
  auto bitmap = MakeObj<TBitmap>();
  bitmap->SetBits(bi, sizeof bi.bmiHeader, pixels, sizeof pixels);
  EXPECT_EQ(bitmap->Width(), 2);
  EXPECT_EQ(bitmap->Height(), 1);
  Surface s(20, 10);
  bitmap->Draw(s.Dc(), 0, 0);
  EXPECT_EQ(s.At(0, 0), RGB(255, 0, 0));
  EXPECT_EQ(s.At(1, 0), RGB(0, 0, 255));
  bitmap->StretchDraw(s.Dc(), RECT{0, 2, 20, 10});
  EXPECT_EQ(s.At(2, 5), RGB(255, 0, 0));
  EXPECT_EQ(s.At(17, 5), RGB(0, 0, 255));
}

TEST(Bitmaps, BitsShorterThanTheHeaderDescribesAreRefused) {
  // Header (width, height, bit count, colour table entries given) and the bytes passed ->
  // whether the bits are kept. Rows are rounded up to 4 bytes.
  struct TCase {
    std::int32_t width;
    std::int32_t height;
    WORD bitCount;
    DWORD colours;
    std::size_t bytes;
    bool kept;
  };
  const TCase cases[] = {
      {2, 1, 32, 0, 8, true},
      {2, 1, 32, 0, 7, false},
      {3, -2, 24, 0, 24, true},  // rows of 9 bytes take 12
      {3, -2, 24, 0, 23, false},
      {5, 2, 1, 2, 8, true},
      {5, 2, 1, 2, 7, false},
      {2000, 2000, 32, 0, 16, false},
      {0x7FFFFFFF, 0x7FFFFFFF, 32, 0, 16, false},  // the size overflows 32 and 64-bit products
      {4, std::numeric_limits<std::int32_t>::min(), 8, 256, 16, false},
      {0, 1, 32, 0, 16, false},
      {-4, 1, 32, 0, 16, false},
      {2, 0, 32, 0, 16, false},
      {2, 1, 7, 0, 16, false},    // no such bit count
      {1, 1, 8, 256, 4, true},
      {1, 1, 8, 0, 4, false},     // 256 colours implied, but only the header was passed
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + " x " + std::to_string(c.bitCount) +
                 ", " + std::to_string(c.bytes) + " bytes");
    // The header and a black colour table of the given entries in one block.
    std::vector<std::uint8_t> info(sizeof(BITMAPINFOHEADER) + c.colours * sizeof(RGBQUAD), 0);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = c.width;
    header.biHeight = c.height;
    header.biPlanes = 1;
    header.biBitCount = c.bitCount;
    header.biClrUsed = c.colours;
    std::memcpy(info.data(), &header, sizeof header);
    const std::vector<std::uint8_t> pixels(c.bytes, 0);  // black
    auto bitmap = MakeObj<TBitmap>();
    bitmap->SetBits(*reinterpret_cast<const BITMAPINFO*>(info.data()), info.size(), pixels.data(), pixels.size());
    EXPECT_EQ(!bitmap->Empty(), c.kept);
    Surface s(8, 8);
    bitmap->Draw(s.Dc(), 0, 0);
    EXPECT_EQ(s.At(0, 0), c.kept ? RGB(0, 0, 0) : RGB(255, 255, 255));
    if (!c.kept) {
      EXPECT_EQ(bitmap->Width(), 0);
    }
  }
}

TEST(Bitmaps, DeviceBitmapIsStretched) {
  HDC screen = GetDC(nullptr);
  HBITMAP handle = CreateCompatibleBitmap(screen, 2, 2);
  ReleaseDC(nullptr, screen);
  {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, handle);
    RECT r{0, 0, 2, 2};
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &r, green);
    DeleteObject(green);
    SelectObject(dc, old);
    DeleteDC(dc);
  }
  auto bitmap = MakeObj<TBitmap>();
  bitmap->SetHandle(handle);
  Surface s(10, 10);
  bitmap->StretchDraw(s.Dc(), RECT{2, 2, 8, 8});
  EXPECT_EQ(s.At(5, 5), RGB(0, 255, 0));
  EXPECT_EQ(s.At(9, 9), RGB(255, 255, 255));
}

}  // namespace
}  // namespace fliran
