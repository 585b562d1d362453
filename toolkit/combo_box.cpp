// The combo box: its hook (selection delivered once the platform has settled it, drop-down
// state) and its subclassed edit field (Tab navigation, Enter and Esc on an open list).
#include <algorithm>

#include "runtime/app.h"
#include "toolkit/control.h"
#include "toolkit/control_internal.h"

namespace fliran {

namespace {

// Rows shown by an open list at most; the list is made tall enough for them.
constexpr int MaxDropDownRows = 8;

void FitDropDownHeight(TControl* combo) {
  HWND wnd = combo->Handle();
  const int rows = std::clamp(combo->ItemCount(), 1, MaxDropDownRows);
  const int rowHeight = static_cast<int>(SendMessageW(wnd, CB_GETITEMHEIGHT, 0, 0));
  if (rowHeight <= 0) return;
  RECT dropped{};
  SendMessageW(wnd, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
  RECT closed{};
  GetWindowRect(wnd, &closed);
  const int closedHeight = closed.bottom - closed.top;
  const int wanted = rows * rowHeight + 2;
  if (dropped.bottom - dropped.top - closedHeight >= wanted) return;
  // The height of a drop-down combo box's window is the height of its open list.
  SetWindowPos(wnd, nullptr, 0, 0, closed.right - closed.left, closedHeight + wanted,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

LRESULT CALLBACK ComboChildProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    FollowFocus(wnd, message);
    const auto previous = reinterpret_cast<WNDPROC>(GetPropW(wnd, PrevProcProperty));
    if (previous == nullptr) return DefWindowProcW(wnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      ForgetWindow(wnd);
      RemovePropW(wnd, PrevProcProperty);
      SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
      if (TControl* combo = TControl::FromHandle(GetParent(wnd)); combo != nullptr) {
        TControlAccess::ComboEdit(combo) = nullptr;
      }
      return CallWindowProcW(previous, wnd, message, wParam, lParam);
    }
    TControl* combo = TControl::FromHandle(GetParent(wnd));
    if (combo != nullptr) {
      TMsg msg{wnd, message, wParam, lParam, 0};
      LRESULT result = 0;
      if (ProgramMessageFilter != nullptr && ProgramMessageFilter(combo, msg, result)) return result;
      if (AppRunning && AppWindow != nullptr && AppWindow != combo && AppWindow->MessageEvent &&
          AppWindow->MessageEvent(msg, result)) {
        return result;
      }
      TControl* form = combo->ParentForm();
      if (form != nullptr && form != combo && form->MessageEvent && form->MessageEvent(msg, result)) return result;
      switch (message) {
        case WM_KEYDOWN:
        case WM_KEYUP:
          if (wParam == VK_TAB) {
            if (const TNavigationProc navigate = combo->EffectiveNavigationProc();
                navigate != nullptr && navigate(combo, msg, result)) {
              return result;
            }
          } else if ((wParam == VK_RETURN || wParam == VK_ESCAPE) && combo->DroppedDown) {
            if (message == WM_KEYDOWN) {
              const std::int32_t saved = combo->DropDownIndex;
              SendMessageW(combo->Handle(), CB_SHOWDROPDOWN, FALSE, 0);
              if (wParam == VK_ESCAPE) SendMessageW(combo->Handle(), CB_SETCURSEL, static_cast<WPARAM>(saved), 0);
            }
            return 0;
          }
          break;
        case WM_CHAR:
          if (wParam == VK_TAB && (combo->NavigationKeys & NavigateTab) != 0 &&
              combo->EffectiveNavigationProc() != nullptr) {
            return 0;
          }
          break;
        case WM_SETFOCUS:
          if (form != nullptr && form != combo) form->FocusedControl = combo;
          break;
        default: break;
      }
    }
    return CallWindowProcW(previous, wnd, message, wParam, lParam);
  } catch (...) {
    FatalError("ComboChildProc");
  }
}

BOOL CALLBACK SubclassComboChild(HWND child, LPARAM comboParam) {
  auto* combo = reinterpret_cast<TControl*>(comboParam);
  if (GetParent(child) != combo->Handle() || GetPropW(child, PrevProcProperty) != nullptr) return TRUE;
  const LONG_PTR previous = GetWindowLongPtrW(child, GWLP_WNDPROC);
  SetPropW(child, PrevProcProperty, reinterpret_cast<HANDLE>(previous));
  SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ComboChildProc));
  TControlAccess::ComboEdit(combo) = child;
  return TRUE;
}

}  // namespace

void ComboBoxAfterCreate(TControl* combo) {
  EnumChildWindows(combo->Handle(), &SubclassComboChild, reinterpret_cast<LPARAM>(combo));
}

bool ComboBoxHook(TControl* combo, TMsg& msg, LRESULT& result) {
  switch (msg.Message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      // The edit field asks its parent, the combo box: answer with the combo box's colours.
      result = SendMessageW(combo->Handle(), msg.Message + ReflectOffset, msg.WParam, msg.LParam);
      return true;
    case WM_CTLCOLORLISTBOX:
      if (!combo->Coloured) return false;
      result = SendMessageW(combo->Handle(), msg.Message + ReflectOffset, msg.WParam, msg.LParam);
      return true;
    case WM_REFLECTED_COMMAND:
      switch (HIWORD(msg.WParam)) {
        case CBN_SELCHANGE:
          // Delivered later, as the private code 15, so the handler sees the new index and the
          // new edit text (the platform updates both after this notification).
          PostMessageW(combo->Handle(), WM_REFLECTED_COMMAND, MAKEWPARAM(LOWORD(msg.WParam), ComboSelectionCode),
                       msg.LParam);
          result = 0;
          return true;
        case CBN_DROPDOWN:
          combo->DroppedDown = true;
          combo->DropDownIndex = combo->CurrentIndex();
          FitDropDownHeight(combo);
          return false;
        case CBN_CLOSEUP:
          combo->DroppedDown = false;
          if (combo->CloseUpEvent) combo->CloseUpEvent(combo);
          return false;
        default: return false;
      }
    default: return false;
  }
}

}  // namespace fliran
