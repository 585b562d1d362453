// The built panel, fliran-panel.exe, in a process of its own with virtual boards on its COM ports,
// used as a user uses it: real mouse clicks, drags and keys on its X window through xdotool.
// Checked on the bytes the boards receive and on what the panel's windows show, read back with
// the platform's calls from this process.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/scheme/panel_user.h"
#include "tests/serial/board.h"

namespace fliran {
namespace {

using testing::Board;
using namespace fliran::testing;
using Clock = std::chrono::steady_clock;

// What the memo shows after the pieces were added: each piece on a new line, with no line break
// of its own before a piece that follows one ending in CR LF.
std::string MemoOf(const std::vector<std::string>& pieces) {
  std::string text;
  for (const std::string& piece : pieces) {
    if (!text.empty() && !text.ends_with("\r\n")) text += "\r\n";
    text += piece;
  }
  return text;
}

TEST(PanelInUse, FirstLookPickComThreeGlowAndCloseWithAltF4) {
  FLIRAN_REQUIRE_BOARDS();
  const Board board(3);
  TPanelUser panel;
  ASSERT_NE(panel.Form(), nullptr);

  RECT r{};
  GetWindowRect(panel.Form(), &r);
  EXPECT_EQ(r.right - r.left, 442);
  EXPECT_EQ(r.bottom - r.top, 509);
  EXPECT_EQ(TPanelUser::TextOf(panel.Form()), "ФЛИРАН_1"_cp1251);
  const LONG style = GetWindowLongW(panel.Form(), GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  // Only the form can be seen: the application window (it keeps the taskbar button) follows the
  // form's moves and lies behind it, inside its rectangle.
  const std::vector<HWND> shown = panel.ShownWindows();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.front(), panel.Form()) << "a window of the panel lies above its form";
  for (HWND w : shown) {
    RECT other{};
    GetWindowRect(w, &other);
    RECT both{};
    IntersectRect(&both, &other, &r);
    EXPECT_TRUE(EqualRect(&both, &other)) << "a window of the panel shows beside its form: " << TPanelUser::TextOf(w);
  }

  EXPECT_EQ(panel.Position(kSliderEyes), 90);
  EXPECT_EQ(panel.Position(kSliderNeck), 270);
  EXPECT_EQ(panel.Position(kSliderMouth), 450);
  EXPECT_NE(GetWindowLongW(panel.Find(kSliderMouth), GWL_STYLE) & TBS_VERT, 0);
  EXPECT_EQ(panel.Text(kFrames), "0");
  EXPECT_EQ(panel.Text(kMemo), "");
  EXPECT_EQ(panel.Text(kPorts), "ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251);
  EXPECT_EQ(TPanelUser::Ask(panel.Find(kPorts), CB_GETCURSEL), CB_ERR);

  ASSERT_TRUE(panel.Pick(3));
  ASSERT_TRUE(board.WaitEvent("opened"));
  ASSERT_TRUE(panel.Click(kGlow));
  ASSERT_TRUE(board.WaitReceived(4));
  EXPECT_EQ(panel.Text(kPorts), "COM 3");

  EXPECT_EQ(panel.CloseWithKeys(), 0);
  EXPECT_TRUE(board.WaitEvent("closed"));
  EXPECT_EQ(board.Received(), "\x36\x30\x30\x0A") << "nothing but the glow line, nothing on closing";
}

// A click at x, y of a control, or a key to the control the previous row focused, and the line the
// board receives for it (null: the slider's position read back). A click on a slider's track beside
// the thumb moves the thumb by a page; the arrow and page keys move a focused slider.
struct TProtocolRow {
  const char* Action;
  const TPlace* Control;
  int X;
  int Y;
  const char* Line;
  const char* Key = nullptr;
};
constexpr TProtocolRow kProtocol[] = {
    {"eyes: click right of the thumb", &kSliderEyes, 170, 10, nullptr},
    {"eyes: Right", &kSliderEyes, 0, 0, nullptr, "Right"},
    {"neck: click left of the thumb", &kSliderNeck, 10, 10, nullptr},
    {"neck: Page Down", &kSliderNeck, 0, 0, nullptr, "Next"},
    {"mouth: click below the thumb", &kSliderMouth, 17, 78, nullptr},
    {"mouth: Up", &kSliderMouth, 0, 0, nullptr, "Up"},
    {"glow", &kGlow, 50, 20, "600"},
    {"store", &kStore, 60, 25, "601"},
    {"forget", &kForget, 60, 25, "602"},
    {"replay", &kReplay, 60, 15, "603"},
};

TEST(PanelInUse, EveryActionReachesTheBoardAsItsLine) {
  FLIRAN_REQUIRE_BOARDS();
  const Board board(3);
  TPanelUser panel;
  ASSERT_NE(panel.Form(), nullptr);
  ASSERT_TRUE(panel.Pick(3));
  ASSERT_TRUE(board.WaitEvent("opened"));

  std::string written;
  for (const TProtocolRow& row : kProtocol) {
    SCOPED_TRACE(row.Action);
    ASSERT_TRUE(row.Key != nullptr ? test::RunXdotool(std::string("key ") + row.Key) == 0
                                   : panel.Click(*row.Control, row.X, row.Y));
    ASSERT_TRUE(testing::WaitUntil([&] {
      const std::string received = board.Received();
      return received.size() > written.size() && received.ends_with("\n");
    }));
    written += (row.Line != nullptr ? std::string(row.Line) : std::to_string(panel.Position(*row.Control))) + "\n";
    EXPECT_EQ(board.Received(), written);
  }
  EXPECT_NE(Lines(written).front(), "90") << "the page click moved the eyes";
  // Forget recentred the sliders without writing their positions; replay showed the answer.
  EXPECT_EQ(panel.Position(kSliderEyes), 90);
  EXPECT_EQ(panel.Position(kSliderNeck), 270);
  EXPECT_EQ(panel.Position(kSliderMouth), 450);
  EXPECT_TRUE(panel.Shows(kMemo, "played 1 frame\r\n"));

  // A drag of the neck's thumb: one line per position the slider reports, each in its range, in
  // the drag's direction, the last one where the thumb stays. Then replay again: its answer lands
  // on a line of its own.
  ASSERT_TRUE(panel.Drag(kSliderNeck, {90, 10}, {150, 10}, 6));
  ASSERT_TRUE(panel.Click(kReplay));
  ASSERT_TRUE(testing::WaitUntil([&] {
    const std::string received = board.Received();
    return received.size() > written.size() && received.ends_with("603\n");
  }));
  EXPECT_TRUE(panel.Shows(kMemo, "played 1 frame\r\nplayed 0 frames\r\n"));
  EXPECT_EQ(board.Sent(), "played 1 frame\r\nplayed 0 frames\r\n");
  const std::string received = board.Received();
  const std::vector<std::string> drag = Lines(received.substr(written.size(), received.size() - 4 - written.size()));
  const int final = panel.Position(kSliderNeck);
  EXPECT_GT(final, 280);
  ASSERT_GE(drag.size(), 2u);
  EXPECT_LE(drag.size(), 7u) << "six moves and the release";
  int previous = 270;
  for (const std::string& line : drag) {
    const int position = std::stoi(line);
    EXPECT_EQ(line, std::to_string(position));
    EXPECT_GE(position, previous);
    EXPECT_LE(position, 360);
    previous = position;
  }
  EXPECT_EQ(drag.back(), std::to_string(final));
  written = received;

  // Store 101 times after a replay: 1 ... 100, then 0.
  for (int press = 1; press <= 101; ++press) {
    ASSERT_TRUE(press == 1 ? panel.Click(kStore) : test::RunXdotool("click 1") == 0);
    ASSERT_TRUE(panel.Shows(kFrames, std::to_string(press % 101))) << "press " << press;
    written += "601\n";
  }

  // Forget: "602" once, the memo empty, the sliders back in the middle.
  ASSERT_TRUE(panel.Click(kForget));
  written += "602\n";
  ASSERT_TRUE(board.WaitReceived(written.size()));
  EXPECT_TRUE(panel.Shows(kMemo, ""));
  EXPECT_EQ(panel.Position(kSliderNeck), 270);

  // "ПОРТ НЕ ОПРЕДЕЛЁН" disconnects: glow then reaches nobody, nor does closing.
  ASSERT_TRUE(panel.Pick(0));
  ASSERT_TRUE(board.WaitEvent("closed"));
  ASSERT_TRUE(panel.Click(kGlow));
  EXPECT_EQ(panel.CloseWithKeys(), 0);
  EXPECT_EQ(board.Received(), written);
  EXPECT_EQ(board.Events(), (std::vector<std::string>{"opened", "closed"}));
}

// With no port picked nothing reaches any board, yet the frame count counts and forget recentres
// the sliders and empties the memo (here holding what the user typed into it).
TEST(PanelInUse, WithoutAPortNothingIsWrittenButTheButtonsWork) {
  FLIRAN_REQUIRE_BOARDS();
  std::vector<Board> boards;
  for (const int com : {3, 4, 5, 6, 7, 8, 9, 12}) boards.emplace_back(com);
  TPanelUser panel;
  ASSERT_NE(panel.Form(), nullptr);

  ASSERT_TRUE(panel.Click(kSliderEyes, 170, 10));
  ASSERT_TRUE(panel.Drag(kSliderNeck, {90, 10}, {30, 10}, 3));
  ASSERT_TRUE(panel.Click(kGlow));
  for (int press = 1; press <= 3; ++press) {
    ASSERT_TRUE(panel.Click(kStore));
    EXPECT_TRUE(panel.Shows(kFrames, std::to_string(press)));
  }
  ASSERT_TRUE(panel.Click(kReplay));
  ASSERT_TRUE(panel.Click(kMemo, 20, 20, "h i"));
  EXPECT_TRUE(panel.Shows(kMemo, "hi"));
  EXPECT_EQ(panel.Text(kFrames), "3") << "replay resets the count without showing it";
  ASSERT_TRUE(panel.Click(kStore));
  EXPECT_TRUE(panel.Shows(kFrames, "1"));
  EXPECT_NE(panel.Position(kSliderEyes), 90);
  EXPECT_LT(panel.Position(kSliderNeck), 270);

  ASSERT_TRUE(panel.Click(kForget));
  EXPECT_TRUE(panel.Shows(kMemo, ""));
  EXPECT_EQ(panel.Position(kSliderEyes), 90);
  EXPECT_EQ(panel.Position(kSliderNeck), 270);
  EXPECT_EQ(panel.Position(kSliderMouth), 450);
  EXPECT_EQ(panel.Text(kFrames), "1");

  EXPECT_EQ(panel.CloseWithKeys(), 0);
  for (const Board& board : boards) {
    EXPECT_EQ(board.Events(), std::vector<std::string>{}) << board.LogPath();
    EXPECT_EQ(board.Received(), "") << board.LogPath();
  }
}

// What the board answers reaches the memo: a long answer 100 bytes a replay with nothing lost,
// until forget purges the rest; a board that never answers holds the click for about the read's
// time-out and adds nothing. The port lines open their port by index: "CJM 8" opens port 8.
TEST(PanelInUse, RepliesReachTheMemoAndPortsOpenByLine) {
  FLIRAN_REQUIRE_BOARDS();
  const Board flooding(7);
  const Board silent(9);
  const Board eight(8);
  TPanelUser panel;
  ASSERT_NE(panel.Form(), nullptr);

  // COM7 answers 603 with its 17-byte reply and 300 bytes more.
  ASSERT_TRUE(panel.Pick(7));
  ASSERT_TRUE(flooding.WaitEvent("opened"));
  std::vector<std::string> pieces;
  for (int replay = 1; replay <= 2; ++replay) {
    ASSERT_TRUE(panel.Click(kReplay));
    ASSERT_TRUE(flooding.WaitReceived(4 * replay));
    const std::string memo = panel.Text(kMemo);  // once the read is over
    pieces.push_back(flooding.Sent().substr(pieces.size() * 100, 100));
    EXPECT_EQ(memo, MemoOf(pieces)) << "replay " << replay;
  }
  EXPECT_EQ(flooding.Sent().size(), 2 * 317u);
  ASSERT_TRUE(panel.Click(kForget));
  EXPECT_TRUE(panel.Shows(kMemo, ""));
  ASSERT_TRUE(panel.Click(kReplay));
  ASSERT_TRUE(flooding.WaitReceived(16));
  const std::string memo = panel.Text(kMemo);
  EXPECT_EQ(memo, flooding.Sent().substr(2 * 317, 100)) << "what was left before forget is gone";
  EXPECT_EQ(flooding.Received(), "603\n603\n602\n603\n");

  // COM9 never answers: the click waits for the read's time-out (1010 ms), the memo stays.
  ASSERT_TRUE(panel.Pick(9));
  ASSERT_TRUE(flooding.WaitEvent("closed"));
  ASSERT_TRUE(silent.WaitEvent("opened"));
  const auto start = Clock::now();
  ASSERT_TRUE(panel.Click(kReplay));
  ASSERT_TRUE(silent.WaitReceived(4));
  EXPECT_EQ(panel.Text(kMemo), MemoOf({memo, ""})) << "answered once the read is over: at most a line break";
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LE(took, std::chrono::seconds(5));

  ASSERT_TRUE(panel.Pick(8));
  EXPECT_EQ(panel.Text(kPorts), "CJM 8");
  ASSERT_TRUE(eight.WaitEvent("opened"));
  EXPECT_TRUE(silent.WaitEvent("closed"));

  EXPECT_EQ(panel.CloseWithCloseBox(), 0);
  EXPECT_TRUE(eight.WaitEvent("closed"));
  EXPECT_EQ(eight.Received(), "");
  EXPECT_EQ(silent.Received(), "603\n");
}

}  // namespace
}  // namespace fliran
