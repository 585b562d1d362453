// The panel against a virtual bird board on COM3: what the board receives when the user picks
// the port and presses the buttons, that the first line disconnects and that closing the panel
// writes nothing.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "runtime/link.h"
#include "runtime/modules.h"
#include "scheme/panel.h"
#include "tests/serial/board.h"
#include "tests/toolkit/toolkit_test.h"

namespace fliran {
namespace {

using testing::Board;

std::string TextOf(HWND wnd) {
  wchar_t buffer[512] = {};
  GetWindowTextW(wnd, buffer, 512);
  return WideToCp1251(buffer);
}

TEST(PanelAtTheBoard, PickedPortGetsExactlyTheButtonLinesAndNothingOnClose) {
  FLIRAN_REQUIRE_BOARDS();
  static TProgramModules modules;
  test::TAppStateGuard state;
  const Board board(3);
  DisableDispatch();
  auto panel = std::make_unique<TClassMainForm_14B8550>();
  if (AppWindow != nullptr) AppWindow->Hide();
  EnableDispatch();

  HWND form = panel->MainForm->Control->Handle();
  const auto notify = [form](const TKvornWin& win, WORD code) {
    HWND control = win.Control->Handle();
    SendMessageW(form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
  };

  // The combo box reports a pick once the platform has updated it: the report is posted.
  const auto pick = [&](int line) {
    SendMessageW(panel->PortChooser->Control->Handle(), CB_SETCURSEL, static_cast<WPARAM>(line), 0);
    notify(*panel->PortChooser, CBN_SELCHANGE);
    test::PumpQueued();
  };

  // Line 3, "COM 3": the line's index is the port number.
  pick(3);
  ASSERT_TRUE(board.WaitEvent("opened"));

  notify(*panel->ButtonGlow, BN_CLICKED);
  ASSERT_TRUE(board.WaitReceived(4));
  EXPECT_EQ(board.Received(), std::string("\x36\x30\x30\x0A"));

  // Forget recentres the sliders without writing their positions; glow again marks the end of
  // what forget wrote.
  SendMessageW(panel->SliderNeck->Control->Handle(), TBM_SETPOS, TRUE, 300);
  notify(*panel->ButtonForget, BN_CLICKED);
  EXPECT_EQ(SendMessageW(panel->SliderNeck->Control->Handle(), TBM_GETPOS, 0, 0), 270);
  notify(*panel->ButtonGlow, BN_CLICKED);
  ASSERT_TRUE(board.WaitReceived(12));
  EXPECT_EQ(board.Received(), "600\n602\n600\n");

  // Replay reads the board's answer into the memo.
  notify(*panel->ButtonReplay, BN_CLICKED);
  EXPECT_NE(TextOf(panel->ReplyLog->Control->Handle()).find("played"), std::string::npos);
  ASSERT_TRUE(board.WaitReceived(16));

  // "ПОРТ НЕ ОПРЕДЕЛЁН" disconnects: glow then reaches nobody.
  pick(0);
  ASSERT_TRUE(board.WaitEvent("closed"));
  EXPECT_FALSE(panel->SerialPort->IsOpen());
  notify(*panel->ButtonGlow, BN_CLICKED);

  // Picked again, then the panel closes: the board gets nothing more and its port is closed.
  pick(3);
  ASSERT_TRUE(board.WaitEvent("opened", 2));
  DisableDispatch();
  panel.reset();
  ASSERT_TRUE(board.WaitEvent("closed", 2));
  EXPECT_EQ(board.Received(), "600\n602\n600\n603\n");
  test::PumpQueued();
}

}  // namespace
}  // namespace fliran
