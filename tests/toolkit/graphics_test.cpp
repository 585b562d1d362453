// Colours, brushes and bitmaps.
#include <gtest/gtest.h>

#include <cstdint>
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
