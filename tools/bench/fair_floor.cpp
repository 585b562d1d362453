// The fair floor: the panel's window written by hand in plain Win32, the least a program does to
// put the same picture on the screen and turn a click or a slider key into a line on the port.
// The same sixteen windows as the panel's (the form and its fifteen controls) with the same
// platform classes, styles, extended styles, control identifiers, fonts, colours, texts,
// rectangles and sibling order; the bird picture drawn from the program's own resource, fitted
// into the picture's place as the panel draws it. No toolkit, no elements, no links: the glow
// button writes "600\n" and every slider writes its position and "\n" with WriteFile, and the
// form gives the focus back to the control that last had it when it is activated again, as the
// panel's form does; nothing else does anything. The benchmarks (tools/panel-bench.sh,
// tools/startup-bench.sh) measure the panel against it; tests/scheme/fair_floor_test.cpp checks
// that it stays the panel's window.
//
//   fair_floor.exe [PORT [LEFT TOP]]
//
// PORT opens \\.\ComPORT as the panel's port element does (same line settings and time-outs);
// without it, or with 0, nothing is written. The window goes to LEFT, TOP on the screen (default
// 0, 0, where the panel's goes). Exits 1 when a port is given and does not open or a window
// cannot be made, else 0 when the window is closed.
#include <windows.h>

#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The panel's texts, in escapes so that any compiler reads the source alike.
constexpr wchar_t Caption[] = L"\u0424\u041B\u0418\u0420\u0410\u041D_1";  // ФЛИРАН_1
constexpr wchar_t GlowText[] = L"\u0421\u0418\u042F\u041D\u042C\u0415 \u0413\u041B\u0410\u0417";
constexpr wchar_t StoreText[] = L"\u0417\u0410\u041F\u041E\u041C\u041D\u0418\u0422\u042C\r\n\u043A\u0430\u0434\u0440";
constexpr wchar_t ForgetText[] =
    L"\u0417\u0410\u0411\u042B\u0422\u042C \u041F\u041E\u0417\u0423\r\n"
    L"\u043E\u0447\u0438\u0441\u0442\u0438\u044C \u0434\u0430\u043D\u043D\u044B\u0435";
constexpr wchar_t ReplayText[] = L"\u041F\u041E\u0412\u0422\u041E\u0420\u0418\u0422\u042C \u0412\u0421\u0401";
constexpr wchar_t EyesText[] = L"\u041F\u041E\u0412\u041E\u0420\u041E\u0422 \u0413\u041B\u0410\u0417";
constexpr wchar_t NeckText[] = L"\u041F\u041E\u0412\u041E\u0420\u041E\u0422 \u0428\u0415\u0418";
constexpr wchar_t MouthText[] = L"\u0410\u041D\u0418\u041C\u0410\u0426\u0418\u042F \u0420\u0422\u0410";
constexpr wchar_t FramesText[] = L"\u041A\u0410\u0414\u0420\u042B";
constexpr wchar_t NoPortText[] = L"\u041F\u041E\u0420\u0422 \u041D\u0415 \u041E\u041F\u0420\u0415\u0414\u0415\u041B\u0401\u041D";
constexpr const wchar_t* PortLines[] = {NoPortText, L"COM 1", L"COM 2", L"COM 3", L"COM 4",
                                        L"COM 5",   L"COM 6", L"COM 7", L"CJM 8", L"COM 9"};

// Styles as the panel's windows carry them once made.
constexpr DWORD Child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD SliderStyle = Child | WS_BORDER | TBS_AUTOTICKS | TBS_ENABLESELRANGE | TBS_FIXEDLENGTH;
constexpr DWORD ButtonStyle = Child | WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE | BS_FLAT;
constexpr DWORD TextStyle = Child | WS_BORDER | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY;
constexpr DWORD ComboStyle = Child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_HASSTRINGS;
constexpr DWORD CountStyle = Child | WS_TABSTOP | ES_AUTOHSCROLL | ES_AUTOVSCROLL;
constexpr DWORD LogStyle = Child | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
constexpr DWORD FormStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;

// Colours: the slider's blue, the navy of the texts.
constexpr COLORREF SliderBlue = 0x00F0CAA6;
constexpr COLORREF Navy = 0x00800000;

// Control identifiers in the panel's order of creation.
enum : int { SliderEyesId = 0x8000, GlowId = 0x8003, PictureId = 0x8007 };

HANDLE gPort = INVALID_HANDLE_VALUE;
HWND gCombo = nullptr;
HWND gPicture = nullptr;
HWND gGlow = nullptr;
HWND gLastFocus = nullptr;  // the control that had the focus when the form was last deactivated
HBRUSH gFaceBrush = nullptr;
HBRUSH gWindowBrush = nullptr;
HBRUSH gSliderBrush = nullptr;
WNDPROC gStaticProc = nullptr;

// The picture: the resource's header and pixels, drawn from where the module holds them.
const BITMAPINFO* gBird = nullptr;
const void* gBirdPixels = nullptr;

void WriteLine(const std::string& line) {
  if (gPort == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(gPort, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
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

bool LoadBird(HINSTANCE instance) {
  HRSRC found = FindResourceW(instance, L"BITMAP0", MAKEINTRESOURCEW(2));  // RT_BITMAP
  HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
  const auto* info = loaded != nullptr ? static_cast<const BITMAPINFO*>(LockResource(loaded)) : nullptr;
  if (info == nullptr || SizeofResource(instance, found) < sizeof(BITMAPINFOHEADER)) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biBitCount != 32 || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0) return false;
  gBird = info;
  gBirdPixels = reinterpret_cast<const std::uint8_t*>(info) + h.biSize;
  return true;
}

// The picture fitted into the control: proportions kept, centred, touching two opposite edges,
// the bands left over in the button face (rounding to nearest, ties to even).
void DrawBird(HDC dc) {
  RECT c{};
  GetClientRect(gPicture, &c);
  const int w = c.right;
  const int h = c.bottom;
  const int bw = gBird->bmiHeader.biWidth;
  const int bh = std::abs(gBird->bmiHeader.biHeight);
  const double ratio = static_cast<double>(bh) / bw;
  RECT picture = c;
  RECT bands[2]{};
  if (w * ratio <= h) {
    const int d = static_cast<int>(std::lrint((h - w * ratio) / 2));
    bands[0] = RECT{0, 0, w, d};
    bands[1] = RECT{0, h - d, w, h};
    picture.top = d;
    picture.bottom = h - d;
  } else {
    const int d = static_cast<int>(std::lrint((w - h / ratio) / 2));
    bands[0] = RECT{0, 0, d, h};
    bands[1] = RECT{w - d, 0, w, h};
    picture.left = d;
    picture.right = w - d;
  }
  for (const RECT& band : bands) FillRect(dc, &band, gFaceBrush);
  SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  StretchDIBits(dc, picture.left, picture.top, picture.right - picture.left, picture.bottom - picture.top, 0, 0, bw,
                bh, gBirdPixels, gBird, DIB_RGB_COLORS, SRCCOPY);
}

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    DrawBird(dc);
    EndPaint(window, &ps);
    return 0;
  }
  return CallWindowProcW(gStaticProc, window, message, w, l);
}

LRESULT Colours(HDC dc, COLORREF text, COLORREF back, HBRUSH brush) {
  SetTextColor(dc, text);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, back);
  return reinterpret_cast<LRESULT>(brush);
}

LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(w) == GlowId && HIWORD(w) == BN_CLICKED) WriteLine("600\n");
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      // Every position change the user makes; the end of a move changes nothing.
      if (l != 0 && LOWORD(w) != TB_ENDTRACK) {
        WriteLine(std::to_string(SendMessageW(reinterpret_cast<HWND>(l), TBM_GETPOS, 0, 0)) + "\n");
      }
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      HDC dc = reinterpret_cast<HDC>(w);
      HWND control = reinterpret_cast<HWND>(l);
      const int id = GetDlgCtrlID(control);
      if (id >= SliderEyesId && id < SliderEyesId + 3) return Colours(dc, 0, SliderBlue, gSliderBrush);
      // The edit boxes, the port box and its edit field and list: window background.
      if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX || control == gCombo ||
          GetParent(control) == gCombo) {
        return Colours(dc, Navy, GetSysColor(COLOR_WINDOW), gWindowBrush);
      }
      return Colours(dc, Navy, GetSysColor(COLOR_BTNFACE), gFaceBrush);
    }
    case WM_ACTIVATE:
      // The control that has the focus when the form goes inactive gets it back when the form is
      // activated again, as the panel's form does (and as dialogs do).
      if (LOWORD(w) == WA_INACTIVE) {
        HWND focused = GetFocus();
        if (focused != nullptr && IsChild(window, focused)) gLastFocus = focused;
      }
      return DefWindowProcW(window, message, w, l);
    case WM_SETFOCUS:
      // The first control with a tab stop at the start, later the last one focused.
      SetFocus(gLastFocus != nullptr && IsWindowVisible(gLastFocus) ? gLastFocus : gGlow);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, w, l);
  }
}

HFONT Font(const wchar_t* face, int points, bool bold, bool italic, BYTE charSet) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  LOGFONTW lf{};
  lf.lfHeight = -((points * dpi + 36) / 72);
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic ? TRUE : FALSE;
  lf.lfCharSet = charSet;
  lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

HWND Make(HWND form, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int id, int x, int y, int w,
          int h, HFONT font) {
  HWND c = CreateWindowExW(exStyle, cls, text, style, x, y, w, h, form,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  if (c != nullptr) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return c;
}

void Slider(HWND form, int id, int x, int y, int w, int h, DWORD vertical, int max, int min, int position,
            HFONT font) {
  HWND s = Make(form, TRACKBAR_CLASSW, L"", SliderStyle | vertical, 0, id, x, y, w, h, font);
  SendMessageW(s, TBM_SETRANGEMAX, TRUE, max);
  SendMessageW(s, TBM_SETRANGEMIN, TRUE, min);
  SendMessageW(s, TBM_SETPOS, TRUE, position);
  SendMessageW(s, TBM_SETTHUMBLENGTH, 16, 0);
  SendMessageW(s, TBM_SETTICFREQ, 10, 0);
}

// A label as large as its text in its font, plus its border.
void Label(HWND form, int id, int x, int y, const wchar_t* text, HFONT font) {
  HWND l = Make(form, L"STATIC", text, TextStyle, 0, id, x, y, 64, 64, font);
  HDC dc = GetDC(l);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r{};
  DrawTextW(dc, text, -1, &r, DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(l, dc);
  SetWindowPos(l, nullptr, 0, 0, r.right + 2, r.bottom + 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The arguments as the C runtime has split them: the panel loads no shell library either.
  const int argc = __argc;
  wchar_t** argv = __wargv;
  if (argv == nullptr || (argc != 1 && argc != 2 && argc != 4)) {
    std::fprintf(stderr, "usage: fair_floor [PORT [LEFT TOP]]\n");
    return 2;
  }
  const int port = argc >= 2 ? _wtoi(argv[1]) : 0;
  const int left = argc == 4 ? _wtoi(argv[2]) : 0;
  const int top = argc == 4 ? _wtoi(argv[3]) : 0;
  if (port > 0 && !OpenPort(port)) {
    std::fprintf(stderr, "fair_floor: cannot open and set up COM%d\n", port);
    return 1;
  }
  if (!LoadBird(instance)) return 1;

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  gFaceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  gWindowBrush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  gSliderBrush = CreateSolidBrush(SliderBlue);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &FormProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, L"ZORD");
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  windowClass.hbrBackground = gFaceBrush;
  windowClass.lpszClassName = L"Form";
  if (RegisterClassExW(&windowClass) == 0) return 1;
  HWND form = CreateWindowExW(WS_EX_WINDOWEDGE, L"Form", Caption, FormStyle, left, top, 442, 509, nullptr, nullptr,
                              instance, nullptr);
  if (form == nullptr) return 1;

  HFONT sans = Font(L"MS Sans Serif", 8, false, false, 1);
  HFONT big = Font(L"Arial", 10, true, true, 204);
  HFONT forget = Font(L"Arial", 9, true, true, 204);
  HFONT label = Font(L"Arial", 10, true, false, 204);
  HFONT small = Font(L"Arial", 8, true, false, 204);
  HFONT count = Font(L"Arial", 22, true, false, 204);
  HFONT tiny = Font(L"Arial", 6, true, false, 204);

  Slider(form, SliderEyesId, 205, 30, 180, 30, 0, 180, 0, 90, sans);
  Slider(form, SliderEyesId + 1, 205, 85, 180, 30, 0, 360, 181, 270, sans);
  Slider(form, SliderEyesId + 2, 220, 155, 35, 90, TBS_VERT, 540, 361, 450, sans);
  gGlow = Make(form, L"BUTTON", GlowText, ButtonStyle, WS_EX_CLIENTEDGE, GlowId, 300, 170, 105, 45, big);
  Label(form, 0x8004, 240, 10, EyesText, label);
  Label(form, 0x8005, 240, 65, NeckText, label);
  Label(form, 0x8006, 210, 130, MouthText, label);
  gPicture = Make(form, L"STATIC", L"", TextStyle, 0, PictureId, 20, 30, 150, 175, sans);
  gStaticProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(gPicture, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PictureProc)));
  Make(form, L"BUTTON", StoreText, ButtonStyle, WS_EX_CLIENTEDGE, 0x8008, 15, 255, 125, 50, big);
  Make(form, L"BUTTON", ForgetText, ButtonStyle, WS_EX_CLIENTEDGE, 0x8009, 155, 255, 125, 50, forget);
  Make(form, L"BUTTON", ReplayText, ButtonStyle, WS_EX_CLIENTEDGE, 0x800A, 295, 260, 125, 30, big);
  gCombo = Make(form, L"COMBOBOX", L"", ComboStyle, 0, 0x800B, 15, 220, 145, 21, small);
  for (const wchar_t* line : PortLines) SendMessageW(gCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line));
  SetWindowTextW(gCombo, NoPortText);
  HWND frames = Make(form, L"EDIT", L"0", CountStyle, WS_EX_CLIENTEDGE, 0x800C, 10, 30, 40, 45, count);
  // Above the picture, whose corner it overlaps, as in the panel.
  SetWindowPos(frames, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Label(form, 0x800D, 15, 15, FramesText, tiny);
  Make(form, L"EDIT", L"", LogStyle, WS_EX_CLIENTEDGE, 0x800E, 25, 315, 385, 145, small);
  // Focus rectangles are shown, as the panel shows them.
  SendMessageW(form, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  ShowWindow(form, SW_SHOW);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (gPort != INVALID_HANDLE_VALUE) CloseHandle(gPort);
  return 0;
}
