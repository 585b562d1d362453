// The built panel traced by the trace debugger, both as separate processes, with a virtual board
// on COM3: a click on SliderEyes and a drag of its thumb (real X input) show every hop in order
// and the board gets exactly what it gets from the panel run without the switch.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <share.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/serial/board.h"
#include "tests/toolkit/toolkit_test.h"
#include "tests/toolkit/x_input.h"

namespace fliran {
namespace {

using testing::Board;

// A program of the build started with its output in a file; stopped, and the file removed, when
// this goes.
class Process {
 public:
  Process(const std::wstring& program, const std::wstring& arguments, const std::wstring& output = {})
      : output_(output) {
    std::wstring commandLine = L"\"" + test::ProgramBesideThis(program) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!output.empty()) {
      SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
      out_ = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = out_;
      startup.hStdError = out_;
      startup.hStdInput = nullptr;
    }
    started_ = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                              &process_) != FALSE;
  }
  ~Process() {
    if (started_) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 10000);
      CloseHandle(process_.hThread);
      CloseHandle(process_.hProcess);
    }
    if (out_ != INVALID_HANDLE_VALUE) {
      CloseHandle(out_);
      DeleteFileW(output_.c_str());
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool Started() const { return started_; }
  DWORD Id() const { return process_.dwProcessId; }
  bool Ended(DWORD ms) const { return WaitForSingleObject(process_.hProcess, ms) == WAIT_OBJECT_0; }

 private:
  std::wstring output_;
  PROCESS_INFORMATION process_{};
  HANDLE out_ = INVALID_HANDLE_VALUE;
  bool started_ = false;
};

std::vector<std::string> LinesOf(const std::wstring& path) {
  std::vector<std::string> lines;
  FILE* file = _wfsopen(path.c_str(), L"rb", _SH_DENYNO);
  if (file == nullptr) return lines;
  std::string content;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) content.append(chunk, n);
  std::fclose(file);
  std::size_t start = 0;
  for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
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

HWND ChildOf(HWND form, const wchar_t* className, LRESULT rangeMax) {
  struct Search {
    const wchar_t* className;
    LRESULT rangeMax;
    HWND found = nullptr;
  } search{className, rangeMax};
  EnumChildWindows(
      form,
      [](HWND child, LPARAM parameter) -> BOOL {
        auto* s = reinterpret_cast<Search*>(parameter);
        // The program registers the platform's classes again under "obj_" and their name.
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        std::wstring own(name);
        const std::wstring platform(s->className);
        if (own.size() < platform.size() || lstrcmpiW(own.c_str() + own.size() - platform.size(), platform.c_str()) != 0) {
          return TRUE;
        }
        if (s->rangeMax >= 0 && SendMessageW(child, TBM_GETRANGEMAX, 0, 0) != s->rangeMax) return TRUE;
        s->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Where the thumb of another process's slider lies on the screen: a slider of the same style,
// size, range and position made here has the same geometry.
RECT ThumbOf(HWND slider) {
  RECT r{};
  GetClientRect(slider, &r);
  const DWORD style = (static_cast<DWORD>(GetWindowLongW(slider, GWL_STYLE)) & ~(WS_CHILD | WS_BORDER)) | WS_POPUP;
  HWND twin = CreateWindowExW(0, TRACKBAR_CLASSW, L"", style, 0, 0, r.right, r.bottom, nullptr, nullptr, nullptr,
                              nullptr);
  SendMessageW(twin, TBM_SETRANGEMIN, FALSE, SendMessageW(slider, TBM_GETRANGEMIN, 0, 0));
  SendMessageW(twin, TBM_SETRANGEMAX, FALSE, SendMessageW(slider, TBM_GETRANGEMAX, 0, 0));
  SendMessageW(twin, TBM_SETPOS, TRUE, SendMessageW(slider, TBM_GETPOS, 0, 0));
  RECT thumb{};
  SendMessageW(twin, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  DestroyWindow(twin);
  // The twin has no frame: its client area stands where the slider's client area stands.
  POINT origin{0, 0};
  ClientToScreen(slider, &origin);
  OffsetRect(&thumb, origin.x, origin.y);
  return thumb;
}

std::string At(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

// One run of the panel: picks COM 3, then clicks right of the eyes slider's thumb; with drag
// also drags the thumb to the end. Answers false when a step failed.
class PanelRun {
 public:
  explicit PanelRun(const Board& board) : board_(board), panel_(L"" FLIRAN_PANEL_EXE, L"") {}

  void PickPortThree() {
    ASSERT_TRUE(panel_.Started());
    ASSERT_TRUE(test::PumpUntil(
        [&] { return (form_ = test::VisibleWindowOf(panel_.Id(), L"obj_Form")) != nullptr || panel_.Ended(0); }, 30000));
    ASSERT_NE(form_, nullptr) << "the panel ended before its form was shown";
    HWND combo = ChildOf(form_, WC_COMBOBOXW, -1);
    slider_ = ChildOf(form_, TRACKBAR_CLASSW, 180);
    ASSERT_NE(combo, nullptr);
    ASSERT_NE(slider_, nullptr);
    SendMessageW(combo, CB_SETCURSEL, 3, 0);
    SendMessageW(form_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    ASSERT_TRUE(test::PumpUntil(
        [&] {
          for (const std::string& e : board_.Events()) {
            if (e == "opened") return true;
          }
          return false;
        },
        20000));
  }

  // The raise makes sure no window of another program takes the click.
  std::string Raise() const {
    const auto xWindow = reinterpret_cast<std::uintptr_t>(GetPropW(form_, L"__wine_x11_whole_window"));
    return xWindow != 0 ? "windowraise " + std::to_string(xWindow) + " " : std::string();
  }

  void ClickRightOfThumb() {
    const RECT thumb = ThumbOf(slider_);
    const int y = (thumb.top + thumb.bottom) / 2;
    ASSERT_EQ(test::RunXdotool(Raise() + "mousemove --sync " + At(thumb.right + 12, y) + " click 1"), 0);
  }

  // Presses the thumb and moves it to the right end in small steps, then lets go.
  void DragThumbToTheEnd() {
    const RECT thumb = ThumbOf(slider_);
    RECT slider{};
    GetWindowRect(slider_, &slider);
    const int y = (thumb.top + thumb.bottom) / 2;
    const int x0 = (thumb.left + thumb.right) / 2;
    std::string moves = Raise() + "mousemove --sync " + At(x0, y) + " mousedown 1";
    // A pause after each step, as a hand takes: the platform merges moves that queue up.
    for (int x = x0 + 2; x < slider.right + 10; x += 2) moves += " mousemove " + At(x, y) + " sleep 0.02";
    ASSERT_EQ(test::RunXdotool(moves + " mouseup 1", 120000), 0);
  }

  void Close() {
    PostMessageW(form_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(panel_.Ended(30000));
  }

 private:
  const Board& board_;
  Process panel_;
  HWND form_ = nullptr;
  HWND slider_ = nullptr;
};

// Set for the programs started from now on; an empty value removes the variable.
void Env(const wchar_t* name, const std::wstring& value) {
  SetEnvironmentVariableW(name, value.empty() ? nullptr : value.c_str());
}

bool WaitReceived(const Board& board, std::size_t count) {
  return test::PumpUntil([&] { return board.Received().size() >= count; }, 20000);
}

TEST(PanelTraced, SliderHopsComeInOrderAndTheBoardGetsWhatItGetsUntraced) {
  FLIRAN_REQUIRE_BOARDS();
  test::TXInputLock inputLock;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring output = std::wstring(temp) + L"fliran-trace-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
  Process debugger(L"trace_debugger.exe", L"--run --time --port 0", output);
  ASSERT_TRUE(debugger.Started());
  std::string port;
  ASSERT_TRUE(test::PumpUntil(
      [&] {
        const std::vector<std::string> lines = LinesOf(output);
        if (lines.empty() || lines[0].rfind("listening on 127.0.0.1:", 0) != 0) return false;
        port = lines[0].substr(lines[0].find(':') + 1);
        return true;
      },
      30000));
  Env(L"FLIRAN_TRACE_PORT", std::wstring(port.begin(), port.end()));

  // Without the switch (the port is named all the same): the board's bytes for the click.
  const Board untracedBoard(3);
  {
    Env(L"FLIRAN_TRACE", L"");
    PanelRun run(untracedBoard);
    ASSERT_NO_FATAL_FAILURE(run.PickPortThree());
    ASSERT_NO_FATAL_FAILURE(run.ClickRightOfThumb());
    ASSERT_TRUE(WaitReceived(untracedBoard, 2));
    run.Close();
  }
  const std::string untraced = untracedBoard.Received();

  // With the switch: the same click, then a drag.
  const Board board(3);
  Env(L"FLIRAN_TRACE", L"1");
  PanelRun run(board);
  Env(L"FLIRAN_TRACE", L"");
  ASSERT_NO_FATAL_FAILURE(run.PickPortThree());
  ASSERT_NO_FATAL_FAILURE(run.ClickRightOfThumb());
  ASSERT_TRUE(WaitReceived(board, untraced.size()));
  const auto lineWritten = [&](const std::string& value) {
    return test::PumpUntil(
        [&] {
          for (const std::string& line : HopsOf(LinesOf(output)).lines) {
            if (line == "0x01530F78 FanOutLines.outEvent 0 -> SerialPort.inWrite  " + value) return true;
          }
          return false;
        },
        20000);
  };
  ASSERT_FALSE(untraced.empty());
  ASSERT_EQ(untraced.back(), '\n');
  const std::string position = untraced.substr(0, untraced.find('\n'));
  ASSERT_TRUE(lineWritten("str \"" + position + "\\n\""));
  EXPECT_EQ(board.Received(), untraced);

  // The first hops the debugger saw are those of this run (the untraced one sent none): the
  // port pick, then the click's five.
  const Hops clickHops = HopsOf(LinesOf(output));
  ASSERT_FALSE(clickHops.lines.empty());
  EXPECT_EQ(clickHops.lines.front().substr(0, 10), "0x01532F88") << "a hop before the traced port pick";
  std::size_t first = 0;
  while (first < clickHops.lines.size() && clickHops.lines[first].rfind("0x01531200", 0) != 0) ++first;
  ASSERT_LE(first + 5, clickHops.lines.size());
  const std::vector<std::string> expected{
      "0x01531200 SliderEyes.outPosition -> JoinEyes.inJoin  int " + position,
      "0x01530D80 JoinEyes.dataFirst <- SliderEyes.valPosition  pull",
      "0x01530D80 JoinEyes.dataFirst <- SliderEyes.valPosition  = int " + position,
      "0x01530E10 JoinEyes.outJoined -> FanOutLines.inEvent  str \"" + position + "\\n\"",
      "0x01530F78 FanOutLines.outEvent 0 -> SerialPort.inWrite  str \"" + position + "\\n\"",
  };
  EXPECT_EQ(std::vector<std::string>(clickHops.lines.begin() + first, clickHops.lines.begin() + first + 5), expected);

  // The drag: every line the panel wrote was reported on its way to the port, and the other way
  // round; the rate of hops through the channel is printed for the record.
  const std::size_t before = clickHops.lines.size();
  const std::size_t bytesBefore = board.Received().size();
  ASSERT_NO_FATAL_FAILURE(run.DragThumbToTheEnd());
  ASSERT_TRUE(lineWritten("str \"180\\n\"")) << "the drag did not reach the end";
  ASSERT_TRUE(WaitReceived(board, bytesBefore + 4));
  run.Close();
  const Hops all = HopsOf(LinesOf(output));
  std::string reported;
  for (std::size_t i = before; i < all.lines.size(); ++i) {
    const std::string prefix = "0x01530F78 FanOutLines.outEvent 0 -> SerialPort.inWrite  str \"";
    if (all.lines[i].rfind(prefix, 0) != 0) continue;
    std::string value = all.lines[i].substr(prefix.size());
    value = value.substr(0, value.size() - 3) + "\n";  // the escaped line feed and the quote
    reported += value;
  }
  const std::string dragged = board.Received().substr(bytesBefore);
  EXPECT_EQ(reported, dragged);
  std::size_t lines = 0;
  for (char c : dragged) lines += c == '\n' ? 1 : 0;
  // Hops per second over the whole drag (bounded by how fast the pointer moves), and within the
  // moves: from a move's first hop to its last, the rate the channel itself allows.
  std::size_t dragHops = 0;
  double dragStart = 0;
  double dragEnd = 0;
  double inMoves = 0;
  std::size_t moveHops = 0;
  for (std::size_t i = before; i < all.lines.size(); ++i) {
    if (all.lines[i].rfind("0x01531200", 0) == 0 && i + 4 < all.lines.size()) {
      inMoves += all.seconds[i + 4] - all.seconds[i];
      moveHops += 4;
    }
    const std::string id = all.lines[i].substr(0, 10);
    if (id != "0x01531200" && id != "0x01530D80" && id != "0x01530E10" && id != "0x01530F78") continue;
    if (dragHops++ == 0) dragStart = all.seconds[i];
    dragEnd = all.seconds[i];
  }
  std::printf("drag: %zu lines written, %zu hops in %.3f s (%.0f hops/s); within the moves %.0f hops/s\n", lines,
              dragHops, dragEnd - dragStart, dragEnd > dragStart ? static_cast<double>(dragHops) / (dragEnd - dragStart) : 0.0,
              inMoves > 0 ? static_cast<double>(moveHops) / inMoves : 0.0);
  EXPECT_GT(lines, 10u) << dragged;
}

}  // namespace
}  // namespace fliran
