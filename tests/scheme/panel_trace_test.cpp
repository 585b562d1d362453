// The built panel traced by the trace debugger, both as separate processes, with a virtual board
// on COM3: a click beside SliderEyes's thumb and a drag of SliderNeck's (real X input) show every
// hop in order, and the board gets exactly what it gets from the panel run without the switch.
// With a port that is no port the panel runs untraced and says so.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/scheme/panel_user.h"
#include "tests/serial/board.h"

namespace fliran {
namespace {

using testing::Board;
using namespace fliran::testing;

// The debugger's output so far, a line each.
std::vector<std::string> OutputLines(const WideString& path) {
  std::vector<std::string> lines = Lines(test::FileContent(path));
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return lines;
}

// The debugger's hop lines without their "--time" seconds, and those seconds.
struct Hops {
  std::vector<std::string> lines;
  std::vector<double> seconds;
};
Hops HopsOf(const std::vector<std::string>& output) {
  Hops hops;
  for (const std::string& line : output) {
    const std::size_t id = line.find("0x");
    if (id == std::string::npos) continue;
    hops.lines.push_back(line.substr(id));
    hops.seconds.push_back(std::atof(line.c_str()));
  }
  return hops;
}

// Set for the programs started from now on; an empty value removes the variable.
void Env(const wchar_t* name, const WideString& value) {
  SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}

// A file of the temporary folder named for this process and what.
WideString TempFile(const wchar_t* what) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return WideString(temp) + L"fliran-" + what + L"-" + Cp1251ToWide(std::to_string(GetCurrentProcessId())) + L".txt";
}

constexpr const char* kToThePort = "0x01530F78 FanOutLines.outEvent 0 -> SerialPort.inWrite  str \"";

TEST(PanelTraced, SliderHopsComeInOrderAndTheBoardGetsWhatItGetsUntraced) {
  FLIRAN_REQUIRE_BOARDS();
  const WideString output = TempFile(L"trace");
  test::TChildProcess debugger(test::ProgramBesideThis(L"trace_debugger.exe"), L"--run --time --port 0", output);
  ASSERT_TRUE(debugger.Started());
  std::string port;
  ASSERT_TRUE(test::PumpUntil(
      [&] {
        const std::vector<std::string> lines = OutputLines(output);
        if (lines.empty() || lines[0].rfind("listening on 127.0.0.1:", 0) != 0) return false;
        port = lines[0].substr(lines[0].find(':') + 1);
        return true;
      },
      30000));
  Env(L"FLIRAN_TRACE_PORT", WideString(port.begin(), port.end()));

  // Without the switch (the port is named all the same): the board's bytes for the click, and
  // not a hop at the debugger.
  const Board untracedBoard(3);
  {
    Env(L"FLIRAN_TRACE", L"");
    TPanelUser panel;
    ASSERT_NE(panel.Form(), nullptr);
    ASSERT_TRUE(panel.Pick(3));
    ASSERT_TRUE(untracedBoard.WaitEvent("opened"));
    ASSERT_TRUE(panel.Click(kSliderEyes, 170, 10));
    ASSERT_TRUE(untracedBoard.WaitReceived(2));
    EXPECT_EQ(panel.CloseWithKeys(), 0);
  }
  const std::string untraced = untracedBoard.Received();
  EXPECT_TRUE(HopsOf(OutputLines(output)).lines.empty()) << "the panel without the switch was traced";

  // With the switch: the same port pick and click, then a drag.
  const Board board(3);
  Env(L"FLIRAN_TRACE", L"1");
  TPanelUser panel;
  Env(L"FLIRAN_TRACE", L"");
  ASSERT_NE(panel.Form(), nullptr);
  ASSERT_TRUE(panel.Pick(3));
  ASSERT_TRUE(board.WaitEvent("opened"));
  ASSERT_TRUE(panel.Click(kSliderEyes, 170, 10));
  ASSERT_TRUE(board.WaitReceived(untraced.size()));
  const auto reported = [&](const std::string& value) {
    return test::PumpUntil(
        [&] {
          for (const std::string& line : HopsOf(OutputLines(output)).lines) {
            if (line == kToThePort + value + "\"") return true;
          }
          return false;
        },
        20000);
  };
  ASSERT_FALSE(untraced.empty());
  ASSERT_EQ(untraced.back(), '\n');
  const std::string position = untraced.substr(0, untraced.find('\n'));
  ASSERT_TRUE(reported(position + "\\n"));
  EXPECT_EQ(board.Received(), untraced);

  // The click's five hops, in order: links 6, 4 (the pull, then its value), 3 and 5.
  const Hops clickHops = HopsOf(OutputLines(output));
  std::size_t first = 0;
  while (first < clickHops.lines.size() && clickHops.lines[first].rfind("0x01531200", 0) != 0) ++first;
  ASSERT_LE(first + 5, clickHops.lines.size());
  const std::vector<std::string> expected{
      "0x01531200 SliderEyes.outPosition -> JoinEyes.inJoin  int " + position,
      "0x01530D80 JoinEyes.dataFirst <- SliderEyes.valPosition  pull",
      "0x01530D80 JoinEyes.dataFirst <- SliderEyes.valPosition  = int " + position,
      "0x01530E10 JoinEyes.outJoined -> FanOutLines.inEvent  str \"" + position + "\\n\"",
      std::string(kToThePort) + position + "\\n\"",
  };
  EXPECT_EQ(std::vector<std::string>(clickHops.lines.begin() + first, clickHops.lines.begin() + first + 5), expected);

  // A drag of the neck's thumb to the end: every line the panel wrote was reported on its way to
  // the port, and the other way round; the rate of hops through the channel is printed.
  const std::size_t before = clickHops.lines.size();
  const std::size_t bytesBefore = board.Received().size();
  ASSERT_TRUE(panel.Drag(kSliderNeck, {90, 10}, {200, 10}, 40));
  ASSERT_TRUE(reported("360\\n")) << "the drag did not reach the end";
  // The thumb's release writes the end position once more; its hop and its bytes may still be on
  // their way when the first end line is seen: both sides are read again until they agree (or for
  // ten seconds). A line lost or added on either side never agrees.
  std::string toThePort, dragged;
  test::PumpUntil(
      [&] {
        const Hops all = HopsOf(OutputLines(output));
        toThePort.clear();
        for (std::size_t i = before; i < all.lines.size(); ++i) {
          if (all.lines[i].rfind(kToThePort, 0) != 0) continue;
          const std::string value = all.lines[i].substr(std::string(kToThePort).size());
          toThePort += value.substr(0, value.size() - 3) + "\n";  // the escaped line feed and the quote
        }
        dragged = board.Received().substr(bytesBefore);
        return !dragged.empty() && toThePort == dragged;
      },
      10000);
  const Hops all = HopsOf(OutputLines(output));
  EXPECT_EQ(toThePort, dragged);
  const std::size_t lines = Lines(dragged).size();
  EXPECT_GT(lines, 10u) << dragged;
  // Hops per second over the whole drag (bounded by how fast the pointer moves), and within the
  // moves: from a move's first hop to its last, the rate the channel itself allows.
  double inMoves = 0;
  std::size_t moveHops = 0;
  for (std::size_t i = before; i + 4 < all.lines.size(); ++i) {
    if (all.lines[i].find("SliderNeck.outPosition") == std::string::npos) continue;
    inMoves += all.seconds[i + 4] - all.seconds[i];
    moveHops += 4;
  }
  const std::size_t dragHops = all.lines.size() - before;
  const double seconds = dragHops > 0 ? all.seconds.back() - all.seconds[before] : 0.0;
  std::printf("drag: %zu lines written, %zu hops in %.3f s (%.0f hops/s); within the moves %.0f hops/s\n", lines,
              dragHops, seconds, seconds > 0 ? static_cast<double>(dragHops) / seconds : 0.0,
              inMoves > 0 ? static_cast<double>(moveHops) / inMoves : 0.0);
  EXPECT_EQ(panel.CloseWithKeys(), 0);
}

TEST(PanelTraced, AnInvalidPortLeavesThePanelUntracedAndSaysWhy) {
  // Port 120 would be a guess where no debugger answers: the panel would wait at its first hop,
  // the port pick, for good.
  FLIRAN_REQUIRE_BOARDS();
  const WideString output = TempFile(L"panel");
  const Board board(3);
  Env(L"FLIRAN_TRACE", L"1");
  Env(L"FLIRAN_TRACE_PORT", L"5120x");
  TPanelUser panel(output);
  Env(L"FLIRAN_TRACE", L"");
  Env(L"FLIRAN_TRACE_PORT", L"");
  ASSERT_NE(panel.Form(), nullptr);
  ASSERT_TRUE(panel.Pick(3));
  ASSERT_TRUE(board.WaitEvent("opened"));
  ASSERT_TRUE(panel.Click(kSliderEyes, 170, 10));
  ASSERT_TRUE(board.WaitReceived(2));
  EXPECT_EQ(OutputLines(output),
            std::vector<std::string>{
                "fliran-panel: FLIRAN_TRACE_PORT=\"5120x\" is not a UDP port (1 to 65535): tracing is off"});
  EXPECT_EQ(panel.CloseWithKeys(), 0);
}

}  // namespace
}  // namespace fliran
