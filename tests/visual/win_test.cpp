// The window element base on real controls: border and tab-order settings, mouse values, the
// consumed-key rule, the size pulls, the hint, and destruction after the window is gone. (Real
// mouse input reaches a window element in the main form's close-command test.)
#include <memory>

#include "runtime/cp1251.h"
#include "toolkit/win.h"
#include "visual_test.h"

namespace fliran {
namespace {

using test::Recorder;

class WinElement : public test::ElementTest {
 protected:
  void SetUp() override {
    ElementTest::SetUp();
    form_ = test::HiddenForm(test::HiddenApp("win element"), caption_);
    form_->SetColor(0x00123456);
    ASSERT_TRUE(form_->CreateControlWindow());
  }
  // An element on the form, configured by setup before Init.
  template <class Setup>
  std::unique_ptr<test::TTestWin> Make(bool label, Setup setup) {
    auto win = std::make_unique<test::TTestWin>(form_);
    win->label = label;
    test::Place(*win, RECT{10, 10, 110, 32});
    setup(*win);
    win->Init();
    return win;
  }
  std::unique_ptr<test::TTestWin> Make(bool label = false) {
    return Make(label, [](test::TTestWin&) {});
  }

  std::string caption_ = test::UniqueCaption("win-element");
  TControl* form_ = nullptr;
};

TEST_F(WinElement, Ctl3DAndEdgeStyleSetTheBorder) {
  struct Row {
    std::uint8_t ctl3d, edge;
    bool border;
    DWORD exStyle;  // of the bits 0x20201 (the platform adds the window edge to a dialog frame)
  } const rows[] = {
      {0, 0, false, WS_EX_CLIENTEDGE},
      {0, 1, false, 0},
      {0, 2, false, WS_EX_STATICEDGE},
      {0, 3, false, WS_EX_DLGMODALFRAME},
      {0, 4, false, WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE},
      {1, 3, true, 0},   // plain border; the edge only counts with Ctl3D 0
      {2, 4, false, 0},  // the label's own look
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "Ctl3D " << int(row.ctl3d) << " EdgeStyle " << int(row.edge));
    auto win = Make(true, [&](test::TTestWin& w) {
      w.Ctl3D = row.ctl3d;
      w.EdgeStyle = row.edge;
    });
    HWND wnd = win->Control->Handle();
    EXPECT_EQ((GetWindowLongPtrW(wnd, GWL_STYLE) & WS_BORDER) != 0, row.border);
    EXPECT_EQ(GetWindowLongPtrW(wnd, GWL_EXSTYLE) & 0x20201, static_cast<LONG_PTR>(row.exStyle));
    EXPECT_EQ(win->Color, 0x00123456u);  // the parent's, as created
  }
}

TEST_F(WinElement, TabOrderAboveZeroMakesATabStopAndOnlyZeroSetsTheSkipMark) {
  struct Row {
    std::int32_t tabOrder;
    bool stop, skip;
  };
  for (const Row row : {Row{3, true, false}, Row{0, false, true}, Row{-1, false, false}}) {
    SCOPED_TRACE(row.tabOrder);
    auto win = Make(true, [&](test::TTestWin& w) { w.TabOrder = row.tabOrder; });
    EXPECT_EQ((win->Control->Style() & WS_TABSTOP) != 0, row.stop);
    EXPECT_EQ(win->Control->TabStop, row.stop);
    EXPECT_EQ(win->Control->TabSkip, row.skip);
    EXPECT_TRUE(!row.stop || win->Control->TabOrder == 3);
  }
}

TEST_F(WinElement, MouseMessagesFireTheButtonTheHeldButtonAndTheWheelDistance) {
  struct Row {
    UINT message;
    WPARAM flags;
    TKvorn_Event TKvornWin::*output;
    int value;
  } const rows[] = {
      {WM_LBUTTONDOWN, MK_LBUTTON, &TKvornWin::outMouseDown, 0},
      {WM_RBUTTONDOWN, MK_RBUTTON, &TKvornWin::outMouseDown, 1},
      {WM_MBUTTONUP, 0, &TKvornWin::outMouseUp, 2},
      {WM_RBUTTONDBLCLK, MK_RBUTTON, &TKvornWin::outDblClick, 1},
      {WM_MOUSEMOVE, MK_LBUTTON, &TKvornWin::outMouseMove, 0},
      {WM_MOUSEMOVE, MK_RBUTTON, &TKvornWin::outMouseMove, 1},
      {WM_MOUSEMOVE, MK_MBUTTON, &TKvornWin::outMouseMove, 2},
      {WM_MOUSEMOVE, 0, &TKvornWin::outMouseMove, -1},
      {WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, &TKvornWin::outMouseMove, -1},
      {WM_MOUSEMOVE, MK_LBUTTON | MK_SHIFT, &TKvornWin::outMouseMove, -1},
      {WM_MOUSEWHEEL, MAKEWPARAM(MK_LBUTTON, -120), &TKvornWin::outMouseWheel, -120},
      {WM_MOUSEWHEEL, MAKEWPARAM(0, 240), &TKvornWin::outMouseWheel, 240},
  };
  auto win = Make(true);
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "message " << row.message << " flags " << row.flags);
    Recorder rec;
    (*win).*row.output = rec.Link();
    SendMessageW(win->Control->Handle(), row.message, row.flags, MAKELPARAM(5, 5));
    EXPECT_EQ(test::Ints(rec), std::vector<int>{row.value});
    (*win).*row.output = {};
  }
  ReleaseCapture();
}

TEST_F(WinElement, KeyDownConsumedByTheElementOrItsParentSuppressesTheCharacter) {
  struct Row {
    const char* what;
    bool elementConsumes, parentConsumes, parentFirst;
    bool keyDown, character;  // fired by the element; the character also reaches the edit box
  } const rows[] = {
      {"nothing consumed", false, false, true, true, true},
      {"consumed by the element", true, false, true, false, false},
      {"consumed by the parent", false, true, true, false, false},
      {"parent not asked first", false, true, false, true, true},
  };
  struct TParent {
    bool consume = false;
    void OnKeyDown(TControl*, int& key) {
      if (consume && key == 'B') key = 0;
    }
  } parent;
  form_->KeyDownEvent = MakeMethod<&TParent::OnKeyDown>(&parent);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    parent.consume = row.parentConsumes;
    auto win = Make(false, [&](test::TTestWin& w) {
      w.consumeKey = row.elementConsumes ? 'B' : 0;
      w.ParentKeysFirst = row.parentFirst;
    });
    win->Control->Focus();
    ASSERT_TRUE(win->Control->Focused());
    auto type = [&](WPARAM key, WPARAM character) {
      SendMessageW(win->Control->Handle(), WM_KEYDOWN, key, 0x00300001);
      SendMessageW(win->Control->Handle(), WM_CHAR, character, 0x00300001);
    };
    type('C', 'c');  // a keystroke nobody consumes goes first
    win->Control->SetText("");
    Recorder keys, chars;
    win->outKeyDown = keys.Link();
    win->outChar = chars.Link();
    type('B', 'b');
    EXPECT_EQ(keys.values.size(), row.keyDown ? 1u : 0u);
    EXPECT_EQ(chars.values.size(), row.character ? 1u : 0u);
    EXPECT_EQ(win->Control->GetText(), row.character ? "b" : "");
  }
}

TEST_F(WinElement, SizeAboutToChangeAsksDataWidthAndDataHeight) {
  struct Row {
    const char* what;
    TKvorn_Event TKvornWin::*pull;
    TData answer;
    int width, height;  // after asking for 150 x 40 from 100 x 22
  } const rows[] = {
      {"unlinked", nullptr, {}, 150, 40},
      {"width source of 0", &TKvornWin::dataWidth, fliran::testing::IntValue(0), 100, 40},
      {"height source of 10", &TKvornWin::dataHeight, fliran::testing::IntValue(10), 150, 32},
      {"width source of a text", &TKvornWin::dataWidth, fliran::testing::StrValue("7"), 150, 40},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    auto win = Make();
    test::ValueSource source;
    source.value = row.answer;
    if (row.pull != nullptr) (*win).*row.pull = source.Link();
    win->Control->SetSize(150, 40);
    EXPECT_EQ(win->Control->Width(), row.width);
    EXPECT_EQ(win->Control->Height(), row.height);
  }
}

TEST_F(WinElement, HintIsRegisteredWithTheDefaultManagerAndUnregisteredWithTheElement) {
  auto win = Make(true, [](test::TTestWin& w) { w.Hint = "подсказка"_cp1251; });
  win->SetupHint(nullptr);
  ASSERT_NE(win->HintId, nullptr);
  HWND tip = TKvornHintManager::TipWindow(win->HintId);
  EXPECT_TRUE(IsWindow(tip));
  win.reset();
  EXPECT_FALSE(IsWindow(tip));
}

TEST_F(WinElement, AWindowAlreadyDestroyedIsNotFreedAgain) {
  auto win = Make();
  ASSERT_EQ(form_->ChildCount(), 1);
  DestroyWindow(win->Control->Handle());
  EXPECT_TRUE(win->WindowGone);
  win.reset();
  EXPECT_EQ(form_->ChildCount(), 1);  // still the form's: freed with it, once

  // The owner frees the control first: the element learns it and frees nothing.
  win = Make();
  form_->Free();
  EXPECT_EQ(win->Control, nullptr);
}

}  // namespace
}  // namespace fliran
