// The panel as built: its elements in order, the window and controls it starts with, its links
// against the link table, the behaviour without a port (driven by the controls' notifications),
// and a construction that fails half-way.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cxxabi.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "runtime/link.h"
#include "runtime/modules.h"
#include "runtime/start_procs.h"
#include "scheme/elements.h"
#include "scheme/links.h"
#include "scheme/panel.h"
#include "tests/toolkit/toolkit_test.h"

namespace fliran {
namespace {

using Panel = TClassMainForm_14B8550;

std::string TextOf(HWND wnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(wnd, buffer, 512);
  return WideToCp1251(buffer);
}

// The class of an object as the source names it ("fliran::TKvornHub").
std::string ClassName(const TDebug& object) {
  int status = 0;
  const std::unique_ptr<char, decltype(&std::free)> name(
      abi::__cxa_demangle(typeid(object).name(), nullptr, nullptr, &status), &std::free);
  return status == 0 ? name.get() : typeid(object).name();
}

int SliderPosition(const TKvornTrackBar& slider) {
  return static_cast<int>(SendMessageW(slider.Control->Handle(), TBM_GETPOS, 0, 0));
}

// The panel built as the program builds it (dispatch idle), its windows never shown, then dispatch
// on as after the start.
class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static TProgramModules modules;
    DisableDispatch();
    panel_ = std::make_unique<Panel>();
    if (AppWindow != nullptr) AppWindow->Hide();
    EnableDispatch();
  }
  void TearDown() override {
    DisableDispatch();
    panel_.reset();
    test::PumpQueued();
  }

  // The notification a control sends its form when the user acts on it.
  void Notify(const TKvornWin& win, WORD code) {
    HWND control = win.Control->Handle();
    SendMessageW(panel_->MainForm->Control->Handle(), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
  }
  void Click(const TKvornButton& button) { Notify(button, BN_CLICKED); }

  test::TAppStateGuard state_;
  std::unique_ptr<Panel> panel_;
};

TEST_F(PanelTest, HasItsElementsInOrderAndStartsInItsInitialState) {
  // The element table (which the trace tools and the scheme picture show) names each element's
  // class and whether it owns a window.
  const auto elements = panel_->Elements();
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const TPanelElement& row = kPanelElements[i];
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(row.Number, i + 1);
    ASSERT_NE(elements[i], nullptr);
    EXPECT_EQ(ClassName(*elements[i]), "fliran::" + std::string(row.Kind));
    EXPECT_EQ(dynamic_cast<TKvornWin*>(elements[i]) != nullptr, row.Window);
  }
  EXPECT_EQ(SchemeInstance, panel_.get());

  HWND form = panel_->MainForm->Control->Handle();
  RECT r{};
  GetWindowRect(form, &r);
  EXPECT_EQ(r.right - r.left, 442);
  EXPECT_EQ(r.bottom - r.top, 509);
  EXPECT_EQ(TextOf(form), "ФЛИРАН_1"_cp1251);
  const LONG style = GetWindowLongW(form, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);

  EXPECT_EQ(SliderPosition(*panel_->SliderEyes), 90);
  EXPECT_EQ(SliderPosition(*panel_->SliderNeck), 270);
  EXPECT_EQ(SliderPosition(*panel_->SliderMouth), 450);
  EXPECT_NE(GetWindowLongW(panel_->SliderMouth->Control->Handle(), GWL_STYLE) & TBS_VERT, 0);
  EXPECT_EQ(TextOf(panel_->FrameDisplay->Control->Handle()), "0");
  EXPECT_EQ(TextOf(panel_->ReplyLog->Control->Handle()), "");
  EXPECT_EQ(TextOf(panel_->ButtonForget->Control->Handle()), "ЗАБЫТЬ ПОЗУ\r\nочистиь данные"_cp1251);
  // The frame counter (10..50) overlaps the picture's left edge (from 20): it lies above the
  // picture, so the count shows whole over the picture's corner.
  EXPECT_EQ(ChildWindowFromPointEx(form, POINT{35, 50}, CWP_ALL), panel_->FrameDisplay->Control->Handle());

  HWND combo = panel_->PortChooser->Control->Handle();
  EXPECT_EQ(TextOf(combo), "ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);
  ASSERT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 10);
  wchar_t line[64] = {};
  SendMessageW(combo, CB_GETLBTEXT, 8, reinterpret_cast<LPARAM>(line));
  EXPECT_EQ(WideToCp1251(line), "CJM 8");
}

// The panel's texts keep the widths they were laid out for: its "Arial" is drawn with Arial's
// metrics (under Wine, Liberation Sans), and a label sized to its text shows all of it inside its
// border.
TEST_F(PanelTest, TextsHaveArialsWidthsAndTheLabelsHoldTheirTexts) {
  HDC dc = GetDC(nullptr);
  LOGFONTW font{};
  ASSERT_NE(GetObjectW(panel_->LabelEyes->Control->Font()->FontHandle(), sizeof font, &font), 0);
  EXPECT_STREQ(font.lfFaceName, L"Arial");
  EXPECT_EQ(font.lfWeight, FW_BOLD);
  font.lfHeight = -2048;  // one unit of the font's design grid a pixel: no rounding to pixels
  const HFONT em = CreateFontIndirectW(&font);
  const HGDIOBJ old = SelectObject(dc, em);
  // Arial Bold's advance widths in its 2048-unit grid; a wider face (DejaVu Sans, Wine's next
  // choice without Liberation Sans) has 2134 for m and 1425 for 0.
  struct Row {
    const wchar_t* text;
    LONG width;
  } const rows[] = {{L"m", 1821}, {L"i", 569}, {L"0", 1139}, {L"W", 1933}, {L" ", 569}};
  for (const Row& row : rows) {
    SIZE size{};
    GetTextExtentPoint32W(dc, row.text, 1, &size);
    EXPECT_EQ(size.cx, row.width) << WideToCp1251(row.text);
  }
  SelectObject(dc, old);
  DeleteObject(em);
  ReleaseDC(nullptr, dc);

  for (const TKvornLabel* label : {panel_->LabelEyes.get(), panel_->LabelNeck.get(), panel_->LabelMouth.get(),
                                   panel_->LabelFrames.get()}) {
    HWND wnd = label->Control->Handle();
    SCOPED_TRACE(TextOf(wnd));
    HDC labelDc = GetDC(wnd);
    const HGDIOBJ before = SelectObject(labelDc, label->Control->Font()->FontHandle());
    const WideString text = Cp1251ToWide(TextOf(wnd));
    RECT needed{};
    DrawTextW(labelDc, text.c_str(), -1, &needed, DT_CALCRECT | DT_NOPREFIX);
    SelectObject(labelDc, before);
    ReleaseDC(wnd, labelDc);
    RECT client{};
    GetClientRect(wnd, &client);
    EXPECT_GE(client.right, needed.right);
    EXPECT_GE(client.bottom, needed.bottom);
    EXPECT_NE(GetWindowLongW(wnd, GWL_STYLE) & WS_BORDER, 0);
  }
}

// Every row of the table is installed into a record with its index and id, calling the element
// the row names; the ids name the rows unambiguously for the trace tools.
TEST_F(PanelTest, InstallsEveryLinkOfTheTable) {
  const auto elements = panel_->Elements();
  const auto element = [&](std::string_view name) -> void* {
    for (std::size_t i = 0; i < kPanelElements.size(); ++i) {
      if (kPanelElements[i].Name == name) return elements[i];
    }
    return nullptr;
  };
  std::set<std::uint32_t> ids;
  for (const TPanelLink& row : kPanelLinks) {
    SCOPED_TRACE(row.Number);
    const TKvorn_Event* record = panel_->LinkRecord(row.Number);
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->Connected());
    EXPECT_EQ(record->Index, row.Index);
    EXPECT_EQ(record->LinkId, row.LinkId);
    EXPECT_EQ(record->Object, element(row.Target));
    ids.insert(row.LinkId);
    EXPECT_EQ(FindPanelLink(row.LinkId), &row);
  }
  EXPECT_EQ(ids.size(), 38u);
  EXPECT_EQ(PanelLink(36).LinkId, 0x01533918u);
  EXPECT_EQ(panel_->LinkRecord(5), &panel_->FanOutLines->outEvent.at(0));
  EXPECT_EQ(panel_->LinkRecord(37), &panel_->FanOutClear->outEvent.at(0));
}

// Without a port: store counts and wraps, replay resets the count without showing it, forget
// recentres the sliders and empties the memo.
TEST_F(PanelTest, ButtonsWorkWithoutAPort) {
  HWND display = panel_->FrameDisplay->Control->Handle();
  for (int press = 1; press <= 101; ++press) {
    Click(*panel_->ButtonStore);
    ASSERT_EQ(TextOf(display), std::to_string(press % 101)) << "press " << press;
  }
  Click(*panel_->ButtonStore);
  Click(*panel_->ButtonStore);
  Click(*panel_->ButtonReplay);
  EXPECT_EQ(panel_->FrameCounter->Value, 0);
  EXPECT_EQ(TextOf(display), "2");
  EXPECT_EQ(TextOf(panel_->ReplyLog->Control->Handle()), "") << "no port: nothing read";
  Click(*panel_->ButtonStore);
  EXPECT_EQ(TextOf(display), "1");

  SendMessageW(panel_->SliderEyes->Control->Handle(), TBM_SETPOS, TRUE, 3);
  SendMessageW(panel_->SliderNeck->Control->Handle(), TBM_SETPOS, TRUE, 200);
  SendMessageW(panel_->SliderMouth->Control->Handle(), TBM_SETPOS, TRUE, 500);
  SetWindowTextW(panel_->ReplyLog->Control->Handle(), L"played 3 frames\r\n");
  Click(*panel_->ButtonForget);
  EXPECT_EQ(SliderPosition(*panel_->SliderEyes), 90);
  EXPECT_EQ(SliderPosition(*panel_->SliderNeck), 270);
  EXPECT_EQ(SliderPosition(*panel_->SliderMouth), 450);
  EXPECT_EQ(TextOf(panel_->ReplyLog->Control->Handle()), "");
  EXPECT_EQ(TextOf(display), "1");
  EXPECT_EQ(panel_->ButtonForget->Data.IntValue, 602) << "the button's value is left alone";

}

// A construction that fails destroys what it made: no element, window or start procedure stays.
TEST(PanelConstruction, FailingHalfWayLeavesNothingBehind) {
  static TProgramModules modules;
  test::TAppStateGuard state;
  DisableDispatch();
  for (const std::size_t failAt : {std::size_t{1}, std::size_t{12}, std::size_t{34}}) {
    SCOPED_TRACE(failAt);
    static std::size_t stop;
    stop = failAt;
    Panel::ElementBuilt = [](std::size_t number) {
      if (number == stop) throw std::runtime_error("stop");
    };
    EXPECT_THROW(Panel{}, std::runtime_error);
    Panel::ElementBuilt = nullptr;
    EXPECT_EQ(StartProcCount(), 0u);
    EXPECT_EQ(AppWindow, nullptr);
    EXPECT_EQ(SchemeInstance, nullptr);
  }
  auto panel = std::make_unique<Panel>();
  EXPECT_EQ(StartProcCount(), 1u);
  EXPECT_NE(AppWindow, nullptr);
  panel.reset();
  EXPECT_EQ(StartProcCount(), 0u);
  EXPECT_EQ(AppWindow, nullptr);
  test::PumpQueued();
}

}  // namespace
}  // namespace fliran
