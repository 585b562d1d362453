// The fair floor (tools/bench/fair_floor.cpp) is the panel's window written by hand: the panel's
// benchmarks measure against it, so it must stay the same window. Both programs run side by side;
// their window trees are compared window by window in sibling order (class, style, extended
// style, identifier, rectangle, client size, text, the sliders' ranges and positions, the port
// box's lines), and the client areas as they show on the screen, pixel by pixel. Started alike,
// the panel loads no library the floor goes without. Activated again, both give the focus back to
// the control that had it (a press elsewhere then moves the focus off it, which costs a repaint).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "runtime/cp1251.h"
#include "tests/toolkit/toolkit_test.h"
#include "tests/toolkit/x_input.h"

namespace fliran::testing {
namespace {

LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result);
  return static_cast<LRESULT>(result);
}

std::string Utf8(const std::wstring& text) {
  std::string out(text.size() * 4 + 1, '\0');
  out.resize(static_cast<std::size_t>(
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                          static_cast<int>(out.size()), nullptr, nullptr)));
  return out;
}

std::string TextOf(HWND window) {
  std::wstring text(512, L'\0');
  text.resize(static_cast<std::size_t>(Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
  return Utf8(text);
}

// One window as a line of text: what the two programs must agree on. The panel's classes are its
// toolkit's superclasses of the platform's ("obj_" and the platform's name).
std::string Describe(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  std::wstring cls = name;
  if (cls.rfind(L"obj_", 0) == 0) cls.erase(0, 4);
  CharUpperW(cls.data());  // the platform's names are not case-sensitive ("EDIT" is "Edit")
  RECT r{};
  GetWindowRect(window, &r);
  // A control's place in its parent; a top-level window's place on the screen is the programs' own.
  if (HWND parent = GetParent(window); parent != nullptr) {
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  } else {
    OffsetRect(&r, -r.left, -r.top);
  }
  RECT client{};
  GetClientRect(window, &client);
  char line[512];
  std::snprintf(line, sizeof line, "%s style %08lx ex %08lx id %ld at %ld,%ld %ldx%ld client %ldx%ld text \"%s\"",
                Utf8(cls).c_str(), static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE)),
                GetParent(window) != nullptr ? static_cast<long>(GetWindowLongW(window, GWL_ID)) : 0L, r.left, r.top,
                r.right - r.left, r.bottom - r.top, client.right, client.bottom, TextOf(window).c_str());
  std::string d = line;
  if (cls == L"MSCTLS_TRACKBAR32") {
    d += " range " + std::to_string(Ask(window, TBM_GETRANGEMIN)) + ".." + std::to_string(Ask(window, TBM_GETRANGEMAX)) +
         " position " + std::to_string(Ask(window, TBM_GETPOS));
  } else if (cls == L"COMBOBOX") {
    const auto count = static_cast<int>(Ask(window, CB_GETCOUNT));
    for (int i = 0; i < count; ++i) {
      std::wstring item(64, L'\0');
      item.resize(static_cast<std::size_t>(Ask(window, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
      d += " | " + Utf8(item);
    }
  }
  return d;
}

// The base names (lower case) of the modules loaded in the process id, the program's own left out.
std::set<std::string> ModulesOf(DWORD id) {
  std::set<std::string> names;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (process == nullptr) return names;
  HMODULE modules[512] = {};
  DWORD bytes = 0;
  if (EnumProcessModules(process, modules, sizeof modules, &bytes)) {
    for (DWORD i = 1; i < bytes / sizeof(HMODULE) && i < 512; ++i) {  // [0] is the program itself
      wchar_t name[MAX_PATH] = {};
      if (GetModuleBaseNameW(process, modules[i], name, MAX_PATH) == 0) continue;
      CharLowerW(name);
      names.insert(Utf8(name));
    }
  }
  CloseHandle(process);
  return names;
}

// The window and everything below it, children in sibling order from the top.
void Collect(HWND window, std::vector<std::string>& out, int depth = 0) {
  out.push_back(std::string(static_cast<std::size_t>(depth) * 2, ' ') + Describe(window));
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    Collect(child, out, depth + 1);
  }
}

// The client area as it shows on the screen, 32 bits per pixel, top row first.
std::vector<std::uint32_t> Shot(HWND window, int width, int height) {
  POINT origin{};
  ClientToScreen(window, &origin);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
  GdiFlush();
  std::vector<std::uint32_t> pixels(static_cast<const std::uint32_t*>(bits),
                                    static_cast<const std::uint32_t*>(bits) + static_cast<std::size_t>(width) * height);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  for (std::uint32_t& p : pixels) p &= 0xFFFFFF;
  return pixels;
}

// The shot of the window in the foreground (an inactive window draws no focus rectangle) once it
// has drawn itself: the same pixels twice in a row (at most ~10 s).
std::vector<std::uint32_t> SettledShot(HWND window, int width, int height) {
  SetForegroundWindow(window);
  test::PumpUntil([&] { return GetForegroundWindow() == window; }, 5000);
  std::vector<std::uint32_t> previous;
  for (int i = 0; i < 40; ++i) {
    test::PumpFor(250);
    std::vector<std::uint32_t> now = Shot(window, width, height);
    if (now == previous) break;
    previous = std::move(now);
  }
  return previous;
}

// The identifier of the window that has the focus in the thread of form, once form is in the
// foreground; 0 when none.
long FocusedIdAfterActivating(HWND form) {
  SetForegroundWindow(form);
  test::PumpUntil([&] { return GetForegroundWindow() == form; }, 5000);
  const DWORD thread = GetWindowThreadProcessId(form, nullptr);
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  test::PumpUntil([&] { return GetGUIThreadInfo(thread, &info) != FALSE && info.hwndFocus != nullptr; }, 5000);
  return info.hwndFocus != nullptr ? GetWindowLongW(info.hwndFocus, GWL_ID) : 0L;
}

// Activates form, presses its eyes slider (which takes the focus) and answers the slider's identifier.
long FocusEyesSlider(HWND form) {
  FocusedIdAfterActivating(form);
  HWND slider = ChildWindowFromPoint(form, POINT{295, 45});
  if (slider == nullptr || slider == form) return 0;
  const LPARAM middle = MAKELPARAM(20, 10);
  PostMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  PostMessageW(slider, WM_LBUTTONUP, 0, middle);
  const long id = GetWindowLongW(slider, GWL_ID);
  test::PumpUntil([&] { return FocusedIdAfterActivating(form) == id; }, 5000);
  return id;
}

TEST(FairFloor, ShowsThePanelsWindowsAndPicture) {
  test::TXInputLock input;  // both windows take the foreground when they show
  test::TChildProcess panel(test::ProgramBesideThis(L"" FLIRAN_PANEL_EXE), L"");
  test::TChildProcess floor(test::ProgramBesideThis(L"" FLIRAN_FAIR_FLOOR_EXE), L"0 460 0");
  ASSERT_TRUE(panel.Started() && floor.Started());
  HWND panelForm = panel.WaitForWindow(L"obj_Form");
  HWND floorForm = floor.WaitForWindow(L"Form");
  ASSERT_NE(panelForm, nullptr);
  ASSERT_NE(floorForm, nullptr);

  std::vector<std::string> panelTree, floorTree;
  Collect(panelForm, panelTree);
  Collect(floorForm, floorTree);
  EXPECT_EQ(panelTree.size(), 17u);  // the form, fifteen controls and the port box's edit field
  ASSERT_EQ(panelTree.size(), floorTree.size());
  for (std::size_t i = 0; i < panelTree.size(); ++i) EXPECT_EQ(panelTree[i], floorTree[i]) << "window " << i;

  RECT client{};
  GetClientRect(panelForm, &client);
  ASSERT_GT(client.right, 400);
  // A window of a test running beside this one may take the foreground between the two shots,
  // and an inactive window draws its focus rectangle and default button differently: shots that
  // differ are taken again, a few times. A real difference shows in every pair.
  std::vector<std::uint32_t> panelShot, floorShot;
  std::size_t differing = 0, first = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    panelShot = SettledShot(panelForm, client.right, client.bottom);
    floorShot = SettledShot(floorForm, client.right, client.bottom);
    ASSERT_EQ(panelShot.size(), floorShot.size());
    differing = 0;
    for (std::size_t i = 0; i < panelShot.size(); ++i) {
      if (panelShot[i] == floorShot[i]) continue;
      if (differing++ == 0) first = i;
    }
    if (differing == 0) break;
  }
  EXPECT_EQ(differing, 0u) << "first at x " << first % static_cast<std::size_t>(client.right) << ", y "
                           << first / static_cast<std::size_t>(client.right) << ": panel " << std::hex
                           << panelShot[first] << ", floor " << floorShot[first];
  // The picture is there at all: its place (20, 30 to 170, 205) shows many colours.
  std::set<std::uint32_t> colours;
  for (int y = 30; y < 205; ++y) {
    for (int x = 20; x < 170; ++x) colours.insert(panelShot[static_cast<std::size_t>(y * client.right + x)]);
  }
  EXPECT_GT(colours.size(), 100u);

  // The focus comes back to the slider that had it when each form is activated again.
  const long panelSlider = FocusEyesSlider(panelForm);
  const long floorSlider = FocusEyesSlider(floorForm);  // the panel's form is inactive now
  ASSERT_NE(panelSlider, 0);
  EXPECT_EQ(panelSlider, floorSlider);
  EXPECT_EQ(FocusedIdAfterActivating(panelForm), panelSlider);
  EXPECT_EQ(FocusedIdAfterActivating(floorForm), floorSlider);

  // Started untraced, the panel needs no library beyond what the floor loads for the same window
  // (the trace channel's socket library, say, only once tracing is asked for).
  const std::set<std::string> floorModules = ModulesOf(floor.Id());
  ASSERT_GT(floorModules.size(), 3u);
  for (const std::string& name : ModulesOf(panel.Id())) {
    EXPECT_TRUE(floorModules.count(name) != 0) << "the panel loads " << name << ", the floor does not";
  }

  PostMessageW(panelForm, WM_CLOSE, 0, 0);
  PostMessageW(floorForm, WM_CLOSE, 0, 0);
  EXPECT_EQ(panel.ExitCode(), 0);
  EXPECT_EQ(floor.ExitCode(), 0);
}

}  // namespace
}  // namespace fliran::testing
