// The built panel, fliran-panel.exe, started as a process of its own and used as a user uses it:
// real mouse clicks, drags and keys on its X window through xdotool; what its windows show is read
// back with the platform's calls from the test process.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "runtime/cp1251.h"
#include "tests/toolkit/toolkit_test.h"
#include "tests/toolkit/x_input.h"

namespace fliran::testing {

// A control of the panel: its platform class and its rectangle in the form's client area.
struct TPlace {
  const wchar_t* ClassName;
  int Left;
  int Top;
  int Width;
  int Height;
};
constexpr const wchar_t* kSlider = L"obj_msctls_trackbar32";
constexpr TPlace kSliderEyes{kSlider, 205, 30, 180, 30};
constexpr TPlace kSliderNeck{kSlider, 205, 85, 180, 30};
constexpr TPlace kSliderMouth{kSlider, 220, 155, 35, 90};
constexpr TPlace kGlow{L"obj_BUTTON", 300, 170, 105, 45};
constexpr TPlace kStore{L"obj_BUTTON", 15, 255, 125, 50};
constexpr TPlace kForget{L"obj_BUTTON", 155, 255, 125, 50};
constexpr TPlace kReplay{L"obj_BUTTON", 295, 260, 125, 30};
constexpr TPlace kPorts{L"obj_COMBOBOX", 15, 220, 145, 21};
constexpr TPlace kFrames{L"obj_EDIT", 10, 30, 40, 45};
constexpr TPlace kMemo{L"obj_EDIT", 25, 315, 385, 145};

// The panel started as a process of its own: what a user does to it, and what its windows show.
class TPanelUser {
 public:
  // With output, the panel's standard output and error go to that file.
  explicit TPanelUser(const WideString& output = {})
      : process_(test::ProgramBesideThis(L"" FLIRAN_PANEL_EXE), L"", output) {
    if (process_.Started()) form_ = process_.WaitForWindow(L"obj_Form");
  }

  HWND Form() const { return form_; }

  // The visible top-level windows of the panel's process, from the top of the z order down.
  std::vector<HWND> ShownWindows() const {
    std::vector<HWND> shown;
    for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if (owner == process_.Id() && IsWindowVisible(w)) shown.push_back(w);
    }
    return shown;
  }

  // The control at place, or null.
  HWND Find(const TPlace& place) const {
    struct TSearch {
      const TPlace* place;
      HWND form;
      HWND found = nullptr;
    } search{&place, form_};
    EnumChildWindows(
        form_,
        [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
          auto* s = reinterpret_cast<TSearch*>(parameter);
          wchar_t name[64] = {};
          GetClassNameW(window, name, 64);
          RECT r{};
          GetWindowRect(window, &r);
          MapWindowPoints(nullptr, s->form, reinterpret_cast<POINT*>(&r), 2);
          if (WideString(name) != s->place->ClassName || r.left != s->place->Left || r.top != s->place->Top) return TRUE;
          s->found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  // A message answered by the panel's thread (which waits while it reads from a port).
  static LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 10000, &result);
    return static_cast<LRESULT>(result);
  }
  static std::string TextOf(HWND window) {
    WideString text(1024, L'\0');
    text.resize(static_cast<std::size_t>(Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return WideToCp1251(text);
  }
  std::string Text(const TPlace& place) const { return TextOf(Find(place)); }
  int Position(const TPlace& slider) const { return static_cast<int>(Ask(Find(slider), TBM_GETPOS)); }
  // Waits (bounded) until the control shows text.
  bool Shows(const TPlace& place, const std::string& text) const {
    return test::PumpUntil([&] { return Text(place) == text; }, 5000);
  }

  // A point of a control (x, y in its window) on the screen, as xdotool's "mousemove" takes it.
  // (Not "mousemove --sync": it waits for a move, which never comes when the pointer is there.)
  std::string At(HWND window, int x, int y) const {
    RECT r{};
    GetWindowRect(window, &r);
    return std::to_string(r.left + x) + " " + std::to_string(r.top + y) + " ";
  }
  std::string At(const TPlace& place, int x, int y) const { return At(Find(place), x, y); }

  // Real input: a click at x, y of a control (its middle by default), then keys to the focus.
  bool Click(const TPlace& place, int x, int y, const std::string& keys = "") {
    return test::RunXdotool("mousemove " + At(place, x, y) + "click 1" +
                            (keys.empty() ? "" : " sleep 0.1 key --delay 60 " + keys)) == 0;
  }
  bool Click(const TPlace& place) { return Click(place, place.Width / 2, place.Height / 2); }
  // The left button pressed at from, moved to to in steps moves, released there.
  bool Drag(const TPlace& place, POINT from, POINT to, int steps) {
    std::string moves = "mousemove " + At(place, from.x, from.y) + "mousedown 1 ";
    for (int i = 1; i <= steps; ++i) {
      moves += "sleep 0.05 mousemove " +
               At(place, from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
    }
    return test::RunXdotool(moves + "mouseup 1") == 0;
  }

  // Picks line of the port box as a user does: drops its list down, scrolls it with the wheel
  // until the line shows, and clicks the line.
  bool Pick(int line) {
    if (!Click(kPorts, kPorts.Width - 8, kPorts.Height / 2)) return false;
    HWND list = nullptr;
    if (!test::PumpUntil([&] { return (list = test::VisibleWindowOf(process_.Id(), L"ComboLBox")) != nullptr; })) {
      return false;
    }
    const int itemHeight = static_cast<int>(Ask(list, LB_GETITEMHEIGHT));
    RECT client{};
    GetClientRect(list, &client);
    const int rows = client.bottom / itemHeight;
    for (int scrolls = 0; scrolls < 10; ++scrolls) {
      const int top = static_cast<int>(Ask(list, LB_GETTOPINDEX));
      if (line >= top && line < top + rows) {
        POINT origin{};
        ClientToScreen(list, &origin);
        RECT frame{};
        GetWindowRect(list, &frame);
        const int y = origin.y - frame.top + (line - top) * itemHeight + itemHeight / 2;
        return test::RunXdotool("mousemove " + At(list, client.right / 2, y) + "click 1") == 0 &&
               test::PumpUntil([&] { return IsWindowVisible(list) == FALSE; });
      }
      test::RunXdotool("mousemove " + At(list, client.right / 2, client.bottom / 2) +
                       (line < top ? "click 4" : "click 5"));
    }
    return false;
  }

  // Closes the panel with Alt+F4 on its focused window, or with the close box (the system
  // command that the box sends: with no window manager the X window has no frame to click);
  // answers the exit code.
  long CloseWithKeys() {
    Click(kFrames, 4, 4, "alt+F4");
    return process_.ExitCode();
  }
  long CloseWithCloseBox() {
    PostMessageW(form_, WM_SYSCOMMAND, SC_CLOSE, 0);
    return process_.ExitCode();
  }

 private:
  test::TXInputLock inputLock_;  // taken before the panel shows: it takes the foreground
  test::TChildProcess process_;
  HWND form_ = nullptr;
};

// The lines of bytes, without their line feeds.
inline std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(bytes.substr(start, end - start));
  }
  return lines;
}

}  // namespace fliran::testing
