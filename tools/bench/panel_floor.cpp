// The input floor: the least a Win32 program does to turn a click or a slider key into a line on
// the serial port. One window with one button and one slider, nothing else: a click on the
// button writes "600\n" with WriteFile, every position change of the slider writes the position
// and "\n". The port is opened and set up at start as the panel's port element does it (same
// device name, line setting and time-outs). tools/panel-bench.sh measures the panel beside it.
//
//   panel_floor.exe PORT [LEFT TOP]
//
// The client area is as large as the panel's and the button and slider sit where the panel's
// glow button and eyes slider sit, so one set of client coordinates reaches both programs. The
// window is placed at LEFT, TOP on the screen (default 600, 0). Exits 1 when the port does not
// open, else 0 when the window is closed.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr int ButtonId = 1;
// The glow button's caption, in escapes so that any compiler reads the source alike.
constexpr wchar_t ButtonCaption[] = L"\u0421\u0418\u042F\u041D\u042C\u0415 \u0413\u041B\u0410\u0417";

HANDLE gPort = INVALID_HANDLE_VALUE;
HWND gSlider = nullptr;

void WriteLine(const std::string& line) {
  DWORD written = 0;
  WriteFile(gPort, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

LRESULT CALLBACK FloorProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(w) == ButtonId && HIWORD(w) == BN_CLICKED) WriteLine("600\n");
      return 0;
    case WM_HSCROLL:
      // The end-of-track notification follows every move and changes nothing.
      if (reinterpret_cast<HWND>(l) == gSlider && LOWORD(w) != TB_ENDTRACK) {
        WriteLine(std::to_string(SendMessageW(gSlider, TBM_GETPOS, 0, 0)) + "\n");
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

bool OpenPort(int port) {
  const std::wstring name = L"\\\\.\\Com" + std::to_wstring(port);
  gPort = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                      nullptr);
  if (gPort == INVALID_HANDLE_VALUE) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  COMMTIMEOUTS timeouts{10, 10, 10, 10, 10};
  return GetCommState(gPort, &dcb) && BuildCommDCBW(L"baud=9600 parity=N data=8 stop=1 octs=off", &dcb) &&
         SetCommState(gPort, &dcb) && SetCommTimeouts(gPort, &timeouts);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || (argc != 2 && argc != 4)) {
    std::fprintf(stderr, "usage: panel_floor PORT [LEFT TOP]\n");
    return 2;
  }
  const int port = _wtoi(argv[1]);
  const int left = argc == 4 ? _wtoi(argv[2]) : 600;
  const int top = argc == 4 ? _wtoi(argv[3]) : 0;
  LocalFree(argv);
  if (!OpenPort(port)) {
    std::fprintf(stderr, "panel_floor: cannot open and set up COM%d\n", port);
    return 1;
  }

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &FloorProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"PanelFloor";
  if (RegisterClassExW(&windowClass) == 0) return 1;
  constexpr DWORD style = WS_CAPTION | WS_SYSMENU;
  RECT frame{0, 0, 442, 509};
  AdjustWindowRect(&frame, style, FALSE);
  HWND window = CreateWindowExW(0, L"PanelFloor", L"panel floor", style, left, top, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  CreateWindowExW(0, L"BUTTON", ButtonCaption, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 300, 170, 105, 45, window,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(ButtonId)), instance, nullptr);
  gSlider = CreateWindowExW(0, TRACKBAR_CLASSW, L"", WS_CHILD | WS_VISIBLE | TBS_AUTOTICKS, 205, 30, 180, 30, window,
                            nullptr, instance, nullptr);
  if (gSlider == nullptr) return 1;
  SendMessageW(gSlider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 180));
  SendMessageW(gSlider, TBM_SETPOS, TRUE, 90);
  ShowWindow(window, SW_SHOW);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  CloseHandle(gPort);
  return 0;
}
