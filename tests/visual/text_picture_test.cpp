// The label, the edit box and the picture: the label's hover effect, typing into the edit box
// for real, the edit box's text input, and where the fit drawing puts a picture.
#include <string>
#include <vector>

#include "runtime/cp1251.h"
#include "runtime/start_procs.h"
#include "toolkit/win.h"
#include "visual/edit.h"
#include "visual/image.h"
#include "visual/label.h"
#include "visual_test.h"

namespace fliran {
namespace {

using fliran::testing::IntValue;
using fliran::testing::StrValue;
using test::Recorder;
using TextAndPicture = test::ElementTest;

std::vector<std::string> Strings(const Recorder& rec) {
  std::vector<std::string> s;
  for (const TData& d : rec.values) s.push_back(ToString(d));
  return s;
}

TEST_F(TextAndPicture, LabelChangesItsLookOnlyWithAHoverEffect) {
  struct Row {
    std::uint32_t hoverColor;
    bool underline;
    std::uint32_t colorInside;
    std::uint8_t styleInside;
    int enters;
  } const rows[] = {
      {0, false, 0x000080, 0, 0},
      {0x00FF00, false, 0x00FF00, 0, 1},
      {0, true, 0x000080, FontUnderline, 1},
      {0x00FF00, true, 0x00FF00, FontUnderline, 1},
  };
  TKvornMainForm* form = MakeForm(nullptr, RECT{0, 0, 200, 100}, true);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.hoverColor + row.underline);
    TKvornLabel label(form->Control);
    label.Font.Color = 0x000080;
    label.HoverColor = row.hoverColor;
    label.HoverUnderline = row.underline;
    label.Caption = "Глаза"_cp1251;
    label.Init();
    Recorder enters;
    label.outMouseEnter = enters.Link();
    label.outMouseLeave = enters.Link(1);
    HWND wnd = label.Control->Handle();
    SendMessageW(wnd, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(label.Control->Font()->Color(), row.colorInside);
    EXPECT_EQ(label.Control->Font()->FontStyle(), row.styleInside);
    SendMessageW(wnd, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(label.Control->Font()->Color(), 0x000080u);
    EXPECT_EQ(label.Control->Font()->FontStyle(), 0);
    EXPECT_EQ(enters.values.size(), 2u * row.enters);
  }
}

class EditBox : public test::ElementTest {
 protected:
  void MakeEdit(std::string text) {
    form_ = MakeForm(nullptr, RECT{700, 450, 1000, 600});
    form_->SetCaption(caption_);
    form_->Init();
    edit_ = std::make_unique<TKvornEdit>(form_->Control);
    test::Place(*edit_, RECT{10, 10, 210, 35});
    edit_->Text = std::move(text);
    edit_->UseTextGetter();
    edit_->outChange = changes_.Link();
    edit_->Init();
  }
  void TearDown() override {
    edit_.reset();
    ElementTest::TearDown();
  }
  std::string caption_ = test::UniqueCaption("edit");
  TKvornMainForm* form_ = nullptr;
  std::unique_ptr<TKvornEdit> edit_;
  Recorder changes_;
};

TEST_F(EditBox, TypedNumberAndEnterFiresItThenEmptiesTheBoxUnreported) {
  test::TXInputLock inputLock;
  ASSERT_TRUE(inputLock.Held());
  MakeEdit("");
  edit_->ClearOnEnter = true;
  Recorder enter;
  edit_->outEnter = enter.Link();
  RunStartProcs();
  POINT p{20, 10};
  ClientToScreen(edit_->Control->Handle(), &p);
  ASSERT_TRUE(test::XInputOn(caption_, "mousemove --sync " + test::At(p) + " click 1 key 1 2 Return"));
  ASSERT_TRUE(test::PumpUntil([&] { return !enter.values.empty(); }));
  test::PumpQueued();
  EXPECT_EQ(Strings(enter), std::vector<std::string>{"12"});
  EXPECT_EQ(edit_->Control->GetText(), "");
  EXPECT_EQ(Strings(changes_), (std::vector<std::string>{"1", "12"}));
  // Typing goes on being reported after the unreported emptying.
  ASSERT_TRUE(test::SendKeys(caption_, "3"));
  ASSERT_TRUE(test::PumpUntil([&] { return changes_.values.size() == 3; }));
  EXPECT_EQ(ToString(changes_.values.back()), "3");
}

TEST_F(EditBox, TextInputShowsTheValueKeepsTheCaretAndReportsTheChange) {
  struct Row {
    std::string initial;
    TData value;
    std::string shown;
    int caret;  // the caret is put at 2 before, wherever the text allows
  } const rows[] = {
      {"", IntValue(7), "7", 0},
      {std::string("кадр 100"_cp1251), StrValue(std::string("кадр 101"_cp1251)), std::string("кадр 101"_cp1251), 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.shown);
    changes_.values.clear();
    MakeEdit(row.initial);
    test::PumpQueued();
    EXPECT_TRUE(changes_.values.empty()) << "Text at Init is not reported";
    edit_->Control->SetSelStart(2);
    TData d = row.value;
    const TKvorn_Event in = MakeEvent<&TKvornEdit::inText>(edit_.get(), 0, 0);
    FireEvent(&in, &d);
    EXPECT_EQ(edit_->Control->GetText(), row.shown);
    EXPECT_EQ(edit_->Control->SelStart(), row.caret);
    EXPECT_EQ(Strings(changes_), std::vector<std::string>{row.shown});
    edit_.reset();
  }
}

TEST(FitDrawing, PictureTouchesTwoEdgesWithBandsRoundedHalfToEven) {
  struct Row {
    int width, height, pictureWidth, pictureHeight;
    RECT picture;
  } const rows[] = {
      {150, 175, 794, 934, {1, 0, 149, 175}},  // the panel's picture: d = round(0.62)
      {100, 101, 100, 100, {0, 0, 100, 101}},  // d = 0.5 rounds to 0
      {100, 103, 100, 100, {0, 2, 100, 101}},  // d = 1.5 rounds to 2
      {103, 100, 100, 100, {2, 0, 101, 100}},
  };
  for (const Row& row : rows) {
    const TFitPlacement p = FitPlacement(row.width, row.height, row.pictureWidth, row.pictureHeight);
    EXPECT_TRUE(EqualRect(&p.Picture, &row.picture)) << row.width << "x" << row.height;
  }
}

TEST_F(TextAndPicture, FitDrawingPaintsThePictureBetweenOnePixelBands) {
  TKvornMainForm* form = MakeForm(nullptr, RECT{0, 0, 300, 300}, true);
  TKvornImage image(form->Control);
  test::Place(image, RECT{0, 0, 150, 175});
  image.Color = 0x0000FF;  // red bands
  image.SetSmooth(true);
  ASSERT_EQ(image.StretchMode, HALFTONE);
  // A green picture of the panel's size.
  HDC screen = GetDC(nullptr);
  HBITMAP picture = CreateCompatibleBitmap(screen, 794, 934);
  HDC pictureDc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(pictureDc, picture);
  const RECT all{0, 0, 794, 934};
  HBRUSH green = CreateSolidBrush(0x00FF00);
  FillRect(pictureDc, &all, green);
  SelectObject(pictureDc, old);
  image.SetPicture(picture);
  image.Init();
  ASSERT_EQ(image.Picture->Width(), 794);
  // Without a drawing routine the picture cannot be drawn: the background is painted instead.
  SendMessageW(image.Control->Handle(), WM_PAINT, 0, 0);
  image.UseFitDraw();

  HBITMAP target = CreateCompatibleBitmap(screen, 150, 175);
  old = SelectObject(pictureDc, target);
  image.FitDraw(pictureDc);
  const std::vector<std::pair<int, COLORREF>> columns{{0, 0x0000FF}, {1, 0x00FF00}, {148, 0x00FF00}, {149, 0x0000FF}};
  for (const auto& [x, colour] : columns) {
    for (int y : {0, 87, 174}) EXPECT_EQ(GetPixel(pictureDc, x, y), colour) << x << "," << y;
  }
  SelectObject(pictureDc, old);
  DeleteObject(target);
  DeleteObject(green);
  DeleteDC(pictureDc);
  ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace fliran
