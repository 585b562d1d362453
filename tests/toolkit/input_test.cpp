// What a user does with the keyboard and the mouse, sent as real X input (xdotool) to the
// windows under Wine: Tab and arrow navigation, a click, Enter on the default button, Esc in an
// open drop-down list.
#include <gtest/gtest.h>

#include <string>

#include "runtime/app.h"
#include "toolkit/control.h"
#include "toolkit/win.h"
#include "toolkit_test.h"
#include "x_input.h"

namespace fliran {
namespace {

using test::PumpUntil;
using test::SendKeys;
using test::TSelectionProbe;

struct TClicks {
  int count = 0;
  void OnClick(TControl*) { ++count; }
};

// A shown form with an edit box, a label, a button, a combo box and a second button, with
// keyboard navigation. The window is placed away from the screen's top-left corner, where other
// test programs running at the same time put theirs.
class Keyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(inputLock.Held());
    caption = test::UniqueCaption(::testing::UnitTest::GetInstance()->current_test_info()->name());
    app.reset(CreateAppWindow(caption + "-app"));
    app->Hide();
    form = CreateForm(app.get(), caption);
    form->SetBoundsRect(RECT{760, 560, 1160, 860});
    edit = CreateEditBox(form, 0);
    edit->SetBoundsRect(RECT{10, 10, 110, 32});
    label = CreateLabel(form, "label");
    label->SetBoundsRect(RECT{10, 40, 110, 60});
    button = CreateButton(form, "button");
    button->SetBoundsRect(RECT{10, 70, 110, 100});
    combo = CreateComboBox(form, 0);
    combo->SetBoundsRect(RECT{10, 110, 150, 132});
    last = CreateButton(form, "last");
    last->SetBoundsRect(RECT{10, 200, 110, 230});
    form->EnableNavigation();
    ASSERT_TRUE(last->CreateControlWindow());
    ASSERT_TRUE(combo->CreateControlWindow());
    ASSERT_TRUE(button->CreateControlWindow() && label->CreateControlWindow() && edit->CreateControlWindow());
    for (const char* line : {"zero", "one", "two", "three", "four"}) combo->AddItemText(line);
    SetForegroundWindow(form->Handle());
    edit->Focus();
    test::PumpFor(100);
  }

  bool FocusIs(TControl* control) { return PumpUntil([&] { return control->Focused(); }, 10000); }

  test::TXInputLock inputLock;  // first in, last out: held while the windows exist
  test::TAppStateGuard state;
  std::string caption;
  TObjPtr<TControl> app;
  TControl* form = nullptr;
  TControl* edit = nullptr;
  TControl* label = nullptr;
  TControl* button = nullptr;
  TControl* combo = nullptr;
  TControl* last = nullptr;
};

TEST_F(Keyboard, TabMovesForwardInTabOrderAndShiftTabBack) {
  ASSERT_TRUE(SendKeys(caption, "Tab"));
  EXPECT_TRUE(FocusIs(button));  // the label is no tab stop
  ASSERT_TRUE(SendKeys(caption, "Tab"));
  EXPECT_TRUE(FocusIs(combo));
  ASSERT_TRUE(SendKeys(caption, "Tab"));  // from the combo box's edit field
  EXPECT_TRUE(FocusIs(last));
  ASSERT_TRUE(SendKeys(caption, "Tab"));  // wraps around
  EXPECT_TRUE(FocusIs(edit));
  ASSERT_TRUE(SendKeys(caption, "shift+Tab"));
  EXPECT_TRUE(FocusIs(last));
  EXPECT_EQ(edit->GetText(), "");  // no tab character reached the edit box
}

TEST_F(Keyboard, ArrowKeysMoveOnlyWhereTheControlLeavesThemToNavigation) {
  edit->SetText("abc");
  // Left and Right stay in the edit box; Up, Down and the page keys move on.
  ASSERT_TRUE(SendKeys(caption, "Left Right"));
  EXPECT_TRUE(PumpUntil([&] { return edit->SelStart() == 1; }, 10000));  // the caret moved: both keys arrived
  EXPECT_TRUE(edit->Focused());
  ASSERT_TRUE(SendKeys(caption, "Down"));
  EXPECT_TRUE(FocusIs(button));
  // A push button leaves every arrow to the navigation.
  ASSERT_TRUE(SendKeys(caption, "Left"));
  EXPECT_TRUE(FocusIs(edit));
  ASSERT_TRUE(SendKeys(caption, "Up"));  // backward from the first stop wraps to the last
  EXPECT_TRUE(FocusIs(last));
  ASSERT_TRUE(SendKeys(caption, "Right"));  // forward from the last wraps to the first
  EXPECT_TRUE(FocusIs(edit));
  ASSERT_TRUE(SendKeys(caption, "Next"));  // Page Down
  EXPECT_TRUE(FocusIs(button));
  ASSERT_TRUE(SendKeys(caption, "Prior"));  // Page Up
  EXPECT_TRUE(FocusIs(edit));
}

TEST_F(Keyboard, DisabledAndHiddenControlsAreSkipped) {
  button->SetEnabled(false);
  combo->Hide();
  ASSERT_TRUE(SendKeys(caption, "Tab"));
  EXPECT_TRUE(FocusIs(last));
}

TEST_F(Keyboard, EnterPressesTheDefaultButton) {
  TClicks clicks;
  last->ClickEvent = MakeMethod<&TClicks::OnClick>(&clicks);
  last->SetDefaultButton(true);
  AppRunning = true;  // the application's key handling takes part while the loop runs
  ASSERT_TRUE(SendKeys(caption, "Return"));
  EXPECT_TRUE(PumpUntil([&] { return clicks.count == 1; }, 10000));
  EXPECT_TRUE(last->Focused());
}

TEST_F(Keyboard, EscPressesTheCancelButton) {
  TClicks clicks;
  button->ClickEvent = MakeMethod<&TClicks::OnClick>(&clicks);
  button->SetCancelButton(true);
  AppRunning = true;
  ASSERT_TRUE(edit->Focused());
  ASSERT_TRUE(SendKeys(caption, "Escape"));
  EXPECT_TRUE(PumpUntil([&] { return clicks.count == 1; }, 10000));
  EXPECT_TRUE(button->Focused());
  // The click came with the key-up, the last message of the key: what is queued now is all.
  test::PumpQueued();
  EXPECT_EQ(clicks.count, 1);
}

TEST_F(Keyboard, EscInAnOpenDropDownRestoresTheIndexItHadWhenItOpened) {
  combo->SetCurrentIndex(1);
  combo->Focus();
  ASSERT_TRUE(FocusIs(combo));
  SendMessageW(combo->Handle(), CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_TRUE(PumpUntil([&] { return combo->DroppedDown; }, 5000));
  ASSERT_TRUE(SendKeys(caption, "Down Down"));
  ASSERT_TRUE(PumpUntil([&] { return combo->CurrentIndex() == 3; }, 10000)) << combo->CurrentIndex();
  ASSERT_TRUE(SendKeys(caption, "Escape"));
  EXPECT_TRUE(PumpUntil([&] { return !combo->DroppedDown; }, 10000));
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETDROPPEDSTATE, 0, 0), FALSE);
  EXPECT_EQ(combo->CurrentIndex(), 1);
  EXPECT_EQ(combo->GetText(), "one");
}

TEST_F(Keyboard, ComboSelectionHandlerSeesTheNewIndexAndText) {
  TSelectionProbe selection;
  combo->SelectionEvent = MakeMethod<&TSelectionProbe::OnSelect>(&selection);
  combo->SetCurrentIndex(0);
  combo->Focus();
  ASSERT_TRUE(FocusIs(combo));
  ASSERT_TRUE(SendKeys(caption, "Down"));
  ASSERT_TRUE(PumpUntil([&] { return selection.calls >= 1; }, 10000));
  EXPECT_EQ(selection.index, 1);
  EXPECT_EQ(selection.text, "one");
}

TEST_F(Keyboard, MouseClickOnAButtonFiresOneClick) {
  TClicks clicks;
  button->ClickEvent = MakeMethod<&TClicks::OnClick>(&clicks);
  RECT r{};
  GetWindowRect(button->Handle(), &r);
  ASSERT_TRUE(test::ClickAt(caption, (r.left + r.right) / 2, (r.top + r.bottom) / 2));
  EXPECT_TRUE(PumpUntil([&] { return clicks.count == 1; }, 10000));
  // The click came with the button-up, the last message of the click: what is queued now is all.
  test::PumpQueued();
  EXPECT_EQ(clicks.count, 1);
}

struct TMouseTrack {
  int enters = 0;
  int leaves = 0;
  void Enter(TControl*) { ++enters; }
  void Leave(TControl*) { ++leaves; }
};

TEST_F(Keyboard, MouseEntryAndExitAreReportedOncePerVisit) {
  TMouseTrack track;
  button->MouseEnterEvent = MakeMethod<&TMouseTrack::Enter>(&track);
  button->MouseLeaveEvent = MakeMethod<&TMouseTrack::Leave>(&track);
  RECT r{};
  GetWindowRect(button->Handle(), &r);
  ASSERT_EQ(test::RunXdotool("search --sync --limit 1 --name '^" + caption + "$' windowraise"), 0);
  ASSERT_EQ(test::RunXdotool("mousemove --sync " + std::to_string(r.left + 5) + " " + std::to_string(r.top + 5) +
                             " mousemove --sync " + std::to_string(r.left + 15) + " " + std::to_string(r.top + 10)),
            0);
  EXPECT_TRUE(PumpUntil([&] { return track.enters == 1; }, 10000));
  EXPECT_EQ(track.leaves, 0);
  ASSERT_EQ(test::RunXdotool("mousemove --sync " + std::to_string(r.right + 60) + " " + std::to_string(r.bottom + 60)), 0);
  EXPECT_TRUE(PumpUntil([&] { return track.leaves == 1; }, 10000));
  EXPECT_EQ(track.enters, 1);
}

}  // namespace
}  // namespace fliran
