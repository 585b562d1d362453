// The toolkit's window procedure, the order in which a control handles a message, its default
// handling, and the hooks of common controls, forms and the application window.
#include <cstdio>
#include <exception>
#include <string>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "toolkit/control.h"
#include "toolkit/control_internal.h"

namespace fliran {

[[noreturn]] void FatalError(const char* where) noexcept {
  // An exception inside message handling is a bug: unwinding through the platform's frames is
  // not possible, and carrying on would leave the window half handled. One that reaches the
  // program entry has nowhere left to go. A program without a console has nobody reading
  // stderr, so the user is told in a message box what failed; then the program ends with exit
  // code 3. The box's own message loop may run other handlers that fail as well: the second
  // failure ends the program at once.
  static bool reporting = false;
  if (reporting) ExitProcess(FatalErrorExitCode);
  reporting = true;
  std::string what = "unknown exception";
  try {
    throw;  // called from a catch block: the exception in flight
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  std::fprintf(stderr, "fatal: unhandled exception (%s): %s\n", where, what.c_str());
  std::fflush(stderr);
  // The program speaks Russian to its user, like the rest of its texts.
  const WideString text = Cp1251ToWide("Внутренняя ошибка программы, она будет закрыта."_cp1251) + L"\n\n" +
                            Cp1251ToWide(what) + L"\n\n(" + Cp1251ToWide(where) + L")";
  MessageBoxW(nullptr, text.c_str(), Cp1251ToWide(FatalErrorCaption).c_str(),
              MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
  ExitProcess(FatalErrorExitCode);
}

// The keys' state as of the message being handled, read in one call (under Wine every read of
// the key state is a round trip to the window server).
std::uint32_t ShiftState() {
  BYTE keys[256] = {};
  if (GetKeyboardState(keys) == FALSE) return 0;
  std::uint32_t shift = 0;
  if ((keys[VK_SHIFT] & 0x80) != 0) shift |= MK_SHIFT;
  if ((keys[VK_CONTROL] & 0x80) != 0) shift |= MK_CONTROL;
  if ((keys[VK_MENU] & 0x80) != 0) shift |= ShiftAlt;
  return shift;
}

bool CtrlOrAltDown() { return (ShiftState() & (MK_CONTROL | ShiftAlt)) != 0; }

void TrackMouseLeave(HWND wnd) {
  using TTrack = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);
  static const TTrack track = [] {
    HMODULE module = GetModuleHandleW(L"comctl32.dll");
    if (module == nullptr) module = LoadLibraryW(L"comctl32.dll");  // kept until process exit
    if (module == nullptr) return TTrack{nullptr};
    return reinterpret_cast<TTrack>(reinterpret_cast<void*>(GetProcAddress(module, "_TrackMouseEvent")));
  }();
  if (track == nullptr) return;
  TRACKMOUSEEVENT tme{};
  tme.cbSize = sizeof tme;
  tme.dwFlags = TME_LEAVE;
  tme.hwndTrack = wnd;
  track(&tme);
}

// ---------------------------------------------------------------------------------------------
// Deferred free.

namespace {

LRESULT CALLBACK DeferredFreeProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_DEFERRED_FREE || lParam == 0) return DefWindowProcW(wnd, message, wParam, lParam);
  try {
    auto* control = reinterpret_cast<TControl*>(lParam);
    TControlAccess::Destroying(control) = true;
    control->Free();
    control->DropHold();  // the hold taken when the request was posted
  } catch (...) {
    FatalError("deferred free");
  }
  return 0;
}

HWND DeferredFreeWindow() {
  static HWND wnd = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &DeferredFreeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"obj_DeferredFree";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }();
  return wnd;
}

}  // namespace

void PostDeferredFree(TControl* control) {
  HWND target = DeferredFreeWindow();
  if (target == nullptr) return;
  control->AddHold();
  if (PostMessageW(target, WM_DEFERRED_FREE, 0, reinterpret_cast<LPARAM>(control)) == FALSE) control->DropHold();
}

void RunDeferredFrees() {
  HWND target = DeferredFreeWindow();
  if (target == nullptr) return;
  MSG msg{};
  while (PeekMessageW(&msg, target, WM_DEFERRED_FREE, WM_DEFERRED_FREE, PM_REMOVE) != FALSE) DispatchMessageW(&msg);
}

// ---------------------------------------------------------------------------------------------
// The window procedure.

LRESULT CALLBACK ToolkitWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    FollowFocus(wnd, message);  // before any handler, which may move the focus on
    TMsg msg{wnd, message, wParam, lParam, 0};
    TControl* owner = nullptr;
    if (CreatingControl != nullptr && BoundControl(wnd) == nullptr) {
      // The first message of a window being made binds it to its object, so even the messages
      // sent while CreateWindowExW runs reach the object.
      owner = CreatingControl;
      CreatingControl = nullptr;
      owner->handle_ = wnd;
      BindWindow(wnd, owner);
    } else {
      owner = TControl::FromHandle(wnd);
    }
    if (owner != nullptr) {
      // The object may be freed while it handles the message; the hold defers that to the end.
      // Messages sent by the destructor itself (DestroyWindow) take no hold: the object is
      // already on its way out and a hold would delete it a second time.
      LRESULT result = 0;
      if (owner->inDestructor_) {
        result = owner->WndProc(msg);
      } else {
        owner->AddHold();
        result = owner->WndProc(msg);
        owner->DropHold();
      }
      // The window is gone after this message, whoever handled it: its handle binds nothing.
      if (message == WM_NCDESTROY) ForgetWindow(wnd);
      return result;
    }
    if (message == WM_NCDESTROY) ForgetWindow(wnd);
    if (AppWindow != nullptr) return AppWindow->WndProc(msg);
    return DefWindowProcW(wnd, message, wParam, lParam);
  } catch (...) {
    FatalError("ToolkitWindowProc");
  }
}

namespace {

// The media notification (mmsystem.h, left out by the lean platform header).
constexpr UINT MediaNotifyMessage = 0x3B9;

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_SYSDEADCHAR; }

}  // namespace

LRESULT TControl::WndProc(TMsg& msg) {
  LRESULT result = 0;
  bool handled = false;
  if (ProgramMessageFilter != nullptr && ProgramMessageFilter(this, msg, result)) {
    handled = true;
  } else if (AppRunning && AppWindow != nullptr && AppWindow != this && AppWindow->MessageEvent &&
             AppWindow->MessageEvent(msg, result)) {
    handled = true;
  } else if (MessageEvent && MessageEvent(msg, result)) {
    handled = true;
  } else {
    // Hooks may attach or detach hooks: walk by index and re-read the size.
    for (std::size_t i = 0; i < MessageHooks.size(); ++i) {
      const TMessageHook hook = MessageHooks[i];
      if (hook(this, msg, result)) {
        handled = true;
        break;
      }
    }
  }
  if (!handled && IsKeyMessage(msg.Message)) {
    if (const TNavigationProc navigate = EffectiveNavigationProc(); navigate != nullptr && navigate(this, msg, result)) {
      handled = true;
    }
  }
  if (!handled) result = DefaultHandling(msg);
  msg.Result = result;
  if (!AppTerminated && !destroying_ && AfterMessageHook) AfterMessageHook(this, msg);
  return result;
}

LRESULT TControl::DefaultProc(TMsg& msg) {
  if (msg.Wnd != handle_ && msg.Wnd != nullptr && handle_ != nullptr) {
    // A window without its own object (handled by the application object): platform default.
    return DefWindowProcW(msg.Wnd, msg.Message, msg.WParam, msg.LParam);
  }
  if (BaseProc != nullptr) return CallWindowProcW(BaseProc, msg.Wnd, msg.Message, msg.WParam, msg.LParam);
  return DefWindowProcW(msg.Wnd, msg.Message, msg.WParam, msg.LParam);
}

void TControl::HandleMouse(TMsg& msg, bool& stop) {
  TMouseEventData mouse;
  mouse.Shift = static_cast<std::uint32_t>(msg.WParam);
  POINT p{static_cast<std::int16_t>(LOWORD(msg.LParam)), static_cast<std::int16_t>(HIWORD(msg.LParam))};
  if (msg.Message == WM_MOUSEWHEEL) ScreenToClient(handle_, &p);  // the wheel reports screen coordinates
  mouse.X = static_cast<std::int16_t>(p.x);
  mouse.Y = static_cast<std::int16_t>(p.y);
  TOnMouse* event = nullptr;
  switch (msg.Message) {
    case WM_LBUTTONDOWN: mouse.Button = 1; event = &MouseDownEvent; break;
    case WM_RBUTTONDOWN: mouse.Button = 2; event = &MouseDownEvent; break;
    case WM_MBUTTONDOWN: mouse.Button = 3; event = &MouseDownEvent; break;
    case WM_LBUTTONUP: mouse.Button = 1; event = &MouseUpEvent; break;
    case WM_RBUTTONUP: mouse.Button = 2; event = &MouseUpEvent; break;
    case WM_MBUTTONUP: mouse.Button = 3; event = &MouseUpEvent; break;
    case WM_LBUTTONDBLCLK: mouse.Button = 1; event = &MouseDblClickEvent; break;
    case WM_RBUTTONDBLCLK: mouse.Button = 2; event = &MouseDblClickEvent; break;
    case WM_MBUTTONDBLCLK: mouse.Button = 3; event = &MouseDblClickEvent; break;
    case WM_MOUSEWHEEL: event = &MouseWheelEvent; break;
    case WM_MOUSEMOVE:
      event = &MouseMoveEvent;
      if ((MouseEnterEvent || MouseLeaveEvent) && !mouseInside_) {
        mouseInside_ = true;
        TrackMouseLeave(handle_);
        if (MouseEnterEvent) MouseEnterEvent(this);
      }
      break;
    default: break;
  }
  if (event != nullptr && *event) {
    (*event)(this, mouse);
    stop = mouse.StopHandling;
  }
}

LRESULT TControl::HandleKey(TMsg& msg) {
  if (!Focused()) return 0;
  LRESULT result = 0;
  if (ProgramKeyFilter != nullptr && ProgramKeyFilter(this, msg, result)) return result;
  switch (msg.Message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      TOnKey& event = (msg.Message == WM_KEYDOWN || msg.Message == WM_SYSKEYDOWN) ? KeyDownEvent : KeyUpEvent;
      if (event) {
        int key = static_cast<int>(msg.WParam);
        event(this, key);
        if (key == 0) return 0;
        msg.WParam = static_cast<WPARAM>(key);
      }
      break;
    }
    case WM_CHAR:
    case WM_SYSCHAR:
      if (CharEvent) {
        // Typed characters arrive as UTF-16 and are handed on as CP1251 bytes.
        const int byte = UnicodeToCp1251(static_cast<char32_t>(msg.WParam));
        char key = byte < 0 ? '?' : static_cast<char>(byte);
        const char before = key;
        CharEvent(this, key);
        if (key == 0) return 0;
        if (key != before) msg.WParam = Cp1251ToUnicode(static_cast<unsigned char>(key));
      }
      break;
    default: break;
  }
  // A Tab character is swallowed when the navigation took its key-down, unless Ctrl or Alt is
  // down; only then is the keyboard state read.
  if (msg.Message == WM_CHAR && msg.WParam == VK_TAB && (NavigationKeys & NavigateTab) != 0 &&
      EffectiveNavigationProc() != nullptr && !CtrlOrAltDown()) {
    return 0;  // the key-down already moved the focus
  }
  return DefaultProc(msg);
}

LRESULT TControl::DefaultHandling(TMsg& msg) {
  switch (msg.Message) {
    case WM_CLOSE: {
      bool accept = true;
      if (CloseEvent) CloseEvent(this, accept);
      if (!accept) return 0;
      if (msg.Wnd == handle_ && (IsMainWindow() || this == AppWindow)) {
        if (AppWindow != nullptr && AppWindow != this && AppWindow->handle_ != nullptr) {
          SendMessageW(AppWindow->handle_, WM_CLOSE, 0, 0);
        }
        PostQuitMessage(0);
        return 0;
      }
      return DefaultProc(msg);
    }

    case WM_NCDESTROY: {
      if (msg.Wnd != handle_) return DefaultProc(msg);
      UnbindWindow(handle_);
      const bool wasMain = IsMainWindow();
      if (WindowDestroyedEvent) WindowDestroyedEvent(this);
      const LRESULT result = DefaultProc(msg);
      handle_ = nullptr;
      comboEdit_ = nullptr;
      if (destroying_ || this == AppWindow) return result;  // freed by whoever destroys it
      if (wasMain) {
        PostDeferredFree(this);
        return result;
      }
      if (IsForm() && parent_ != nullptr && parent_ == AppWindow) {
        destroying_ = true;
        Free();
        return 0;
      }
      return result;
    }

    case WM_DEFERRED_FREE:
      destroying_ = true;
      Free();
      return 0;

    case WM_SIZE: {
      const LRESULT result = DefaultProc(msg);
      SizeState = msg.WParam == SIZE_MINIMIZED ? 1 : msg.WParam == SIZE_MAXIMIZED ? 2 : 0;
      if (!IsForm() && parent_ != nullptr) parent_->AlignChildren();
      AlignChildren();
      if (ResizeEvent) ResizeEvent(this);
      return result;
    }

    case WM_SHOWWINDOW: {
      const bool visibleNow = handle_ != nullptr && IsWindowVisible(handle_) != FALSE;
      if (msg.WParam != 0 && !visibleNow && ShowEvent) ShowEvent(this);
      if (msg.WParam == 0 && visibleNow && HideEvent) HideEvent(this);
      if (msg.LParam == SW_PARENTCLOSING) {
        restoreShow_ = IsIconic(handle_) != FALSE ? SW_SHOWMINNOACTIVE : IsZoomed(handle_) != FALSE ? SW_SHOWMAXIMIZED
                                                                                                      : SW_SHOWNOACTIVATE;
        return DefaultProc(msg);
      }
      if (msg.LParam == SW_PARENTOPENING && restoreShow_ != 0) {
        const int show = restoreShow_;
        restoreShow_ = 0;
        ShowWindow(handle_, show);
        return 0;
      }
      return DefaultProc(msg);
    }

    case WM_WINDOWPOSCHANGED: {
      // The platform shows and hides windows on its own too (DestroyWindow hides a window
      // before it goes, an owner that is minimised hides its forms): the remembered visibility
      // follows, so that making the window "if needed" later does not show it again.
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(msg.LParam);
      if (msg.Wnd == handle_ && pos != nullptr) {
        if ((pos->flags & SWP_SHOWWINDOW) != 0) visible_ = true;
        if ((pos->flags & SWP_HIDEWINDOW) != 0) visible_ = false;
      }
      return DefaultProc(msg);
    }

    case WM_SYSCOMMAND:
      if ((msg.WParam & 0xFFF0) == SC_MINIMIZE && IsMainWindow() && AppWindow != nullptr && AppWindow != this &&
          AppWindow->handle_ != nullptr) {
        PostMessageW(AppWindow->handle_, WM_SYSCOMMAND, msg.WParam, msg.LParam);
        return 0;
      }
      return DefaultProc(msg);

    case WM_SETFOCUS: {
      if (!CanFocus()) return 0;
      ++FocusInProgress;
      const LRESULT result = DefaultProc(msg);
      --FocusInProgress;
      return result;
    }

    case WM_SETCURSOR:
      if (LOWORD(msg.LParam) == HTCLIENT) {
        // The capture is asked for only when there is a cursor to set (a round trip under Wine).
        HCURSOR cursor = ScreenCursor != nullptr ? ScreenCursor : Cursor;
        if (cursor != nullptr && GetCapture() == nullptr) {
          SetCursor(cursor);
          return 1;
        }
      }
      return DefaultProc(msg);

    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
      // Reflected to the control that asks, which knows its own colours. A window that is no
      // toolkit window would not understand the reflected message: it gets the platform's colours.
      HWND child = reinterpret_cast<HWND>(msg.LParam);
      if (child != nullptr && child != handle_ && TControl::FromHandle(child) != nullptr) {
        return SendMessageW(child, msg.Message + ReflectOffset, msg.WParam, msg.LParam);
      }
      return DefaultProc(msg);
    }

    case WM_COMMAND: {
      HWND child = reinterpret_cast<HWND>(msg.LParam);
      if (child != nullptr && TControl::FromHandle(child) != nullptr) {
        return SendMessageW(child, WM_REFLECTED_COMMAND, msg.WParam, msg.LParam);
      }
      return DefaultProc(msg);
    }

    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(msg.LParam);
      TControl* control = item != nullptr ? TControl::FromHandle(item->hwndItem) : nullptr;
      if (control != nullptr && control->DrawItemEvent && control->DrawItemEvent(control, *item)) return TRUE;
      return DefaultProc(msg);
    }

    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(msg.LParam);
      if (item != nullptr) {
        for (TControl* child : children_) {
          if (child->ControlId == item->CtlID && child->MeasureItemEvent) {
            item->itemHeight = static_cast<UINT>(child->MeasureItemEvent(child, static_cast<int>(item->itemID)));
            return TRUE;
          }
        }
      }
      return DefaultProc(msg);
    }

    case WM_PAINT: {
      if (!PaintEvent || handle_ == nullptr) return DefaultProc(msg);
      TRegionHandle region(CreateRectRgn(0, 0, 0, 0));
      GetUpdateRgn(handle_, region.get(), FALSE);
      const RECT client = ClientRect();
      TRegionHandle clientRegion(CreateRectRgnIndirect(&client));
      CombineRgn(region.get(), region.get(), clientRegion.get(), RGN_AND);
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(handle_, &ps);
      SelectClipRgn(dc, region.get());
      PaintEvent(this, dc);
      SelectClipRgn(dc, nullptr);
      EndPaint(handle_, &ps);
      return 0;
    }

    case WM_MOUSELEAVE:
      mouseInside_ = false;
      if (MouseLeaveEvent) MouseLeaveEvent(this);
      return DefaultProc(msg);

    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_MOUSEWHEEL: {
      bool stop = false;
      HandleMouse(msg, stop);
      return stop ? 0 : DefaultProc(msg);
    }

    case WM_PROGRAM_CALL:
      if (ProgramMessageProc != nullptr) ProgramMessageProc(msg.WParam, msg.LParam);
      return 0;

    case MediaNotifyMessage:
      if (MediaNotifyProc != nullptr) {
        MediaNotifyProc(this, msg);
        return 0;
      }
      return DefaultProc(msg);

    default:
      if (IsKeyMessage(msg.Message)) return HandleKey(msg);
      return DefaultProc(msg);
  }
}

// ---------------------------------------------------------------------------------------------
// Hooks of the constructors.

bool CommonControlHook(TControl* control, TMsg& msg, LRESULT& result) {
  if (msg.Message == WM_SETFOCUS) {
    if (TControl* form = control->ParentForm(); form != nullptr && form != control) form->FocusedControl = control;
    return false;
  }
  if (msg.Message == WM_REFLECTED_COMMAND) {
    const WORD code = HIWORD(msg.WParam);
    const TCommandTable& t = control->Commands;
    TOnEvent* event = nullptr;
    if (code == t.ClickCode) {
      if (control->FocusInProgress == 0) event = &control->ClickEvent;
    } else if (code == t.FocusInCode) {
      event = &control->FocusInEvent;
    } else if (code == t.FocusOutCode) {
      event = &control->FocusOutEvent;
    } else if (code == t.ChangeCode) {
      event = &control->ChangeEvent;
    } else if (code == t.SelectionCode) {
      event = &control->SelectionEvent;
    } else {
      return false;
    }
    if (event != nullptr && *event) (*event)(control);
    result = control->DefaultProc(msg);
    return true;
  }
  if (msg.Message >= WM_CTLCOLOREDIT + ReflectOffset && msg.Message <= WM_CTLCOLORSTATIC + ReflectOffset) {
    HDC dc = reinterpret_cast<HDC>(msg.WParam);
    SetTextColor(dc, ColorToRgb(control->TextColor()));
    if (control->Transparent) {
      SetBkMode(dc, TRANSPARENT);
      result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    } else {
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, ColorToRgb(control->Color()));
      result = reinterpret_cast<LRESULT>(control->BrushHandle());
    }
    return true;
  }
  return false;
}

bool FormHook(TControl* form, TMsg& msg, LRESULT& result) {
  switch (msg.Message) {
    case WM_SETFOCUS: {
      // A form on its way out is not remembered: the pointer would outlive it.
      if (AppWindow != nullptr && AppWindow != form && !form->Destroying()) AppWindow->FocusedControl = form;
      TControl* focused = form->FocusedControl;
      if (focused != nullptr && focused != form && focused->Handle() != nullptr && focused->Visible() &&
          focused->Enabled()) {
        SetFocus(focused->Handle());
        result = 0;
        return true;
      }
      return false;
    }
    case WM_ERASEBKGND: {
      if (form->Transparent) return false;
      HDC dc = reinterpret_cast<HDC>(msg.WParam);
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, ColorToRgb(form->Color()));
      SetBrushOrgEx(dc, 0, 0, nullptr);
      const RECT client = form->ClientRect();
      FillRect(dc, &client, form->BrushHandle());
      return false;  // default processing follows
    }
    default: return false;
  }
}

bool AppWindowHook(TControl* app, TMsg& msg, LRESULT& result) {
  if (msg.Message == WM_SETFOCUS) {
    // The platform activates the application window when a form is hidden or destroyed; a form
    // on its way out must not get the focus (and with it its window) back.
    TControl* focused = app->FocusedControl;
    if (focused == nullptr || focused == app || focused->Destroying() || !focused->CreateControlWindow()) return false;
    SetFocus(focused->Handle());
    result = 0;
    return true;
  }
  if (msg.Message == WM_SYSCOMMAND && (msg.WParam & 0xFFF0) == SC_CLOSE) {
    TControl* main = app->Child(0);
    if (main == nullptr || !main->IsMainWindow() || main->Handle() == nullptr) return false;
    PostMessageW(main->Handle(), WM_CLOSE, 0, 0);
    result = 0;
    return true;
  }
  return false;
}

void AppWindowAfterCreate(TControl* app) {
  // The application window only stands for the program on the taskbar: it cannot be sized,
  // moved, maximised or restored through its system menu.
  HMENU menu = GetSystemMenu(app->Handle(), FALSE);
  if (menu == nullptr) return;
  DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
}

}  // namespace fliran
