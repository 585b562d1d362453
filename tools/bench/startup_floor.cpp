// The start-up floor: the least a Win32 program does to show one window. Started by the start-up
// benchmark beside the panel; it closes when asked (WM_CLOSE) and exits with code 0. Built a
// second time with FLOOR_COMMON_CONTROLS, it also loads the common controls first, as the panel
// must: that shows how much of the panel's start-up is the platform library alone.
#include "toolkit/win.h"

#ifdef FLOOR_COMMON_CONTROLS
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
#ifdef FLOOR_COMMON_CONTROLS
  InitCommonControls();
#endif
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &FloorProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"StartupFloor";
  if (RegisterClassExW(&windowClass) == 0) return 1;
  HWND window = CreateWindowExW(0, L"StartupFloor", L"floor", WS_OVERLAPPEDWINDOW, 0, 0, 442, 509, nullptr, nullptr,
                                instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, SW_SHOW);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
