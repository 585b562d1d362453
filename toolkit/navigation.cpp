// Keyboard navigation between the controls of a form (Tab, arrow and page keys), and the
// default (Enter) and cancel (Esc) buttons.
#include <algorithm>
#include <vector>

#include "runtime/app.h"
#include "toolkit/control.h"
#include "toolkit/control_internal.h"

namespace fliran {

namespace {

std::uint8_t NavigationBit(WPARAM key) {
  switch (key) {
    case VK_TAB: return NavigateTab;
    case VK_LEFT:
    case VK_RIGHT: return NavigateLeftRight;
    case VK_UP:
    case VK_DOWN: return NavigateUpDown;
    case VK_PRIOR:
    case VK_NEXT: return NavigatePages;
    default: return 0;
  }
}

// The tab stops under node that are enabled and visible; only enabled controls are entered.
void CollectTabStops(const TControl* node, std::vector<TControl*>& out) {
  for (std::int32_t i = 0; i < node->ChildCount(); ++i) {
    TControl* child = node->Child(i);
    const bool enabled = child->Enabled();
    if (child->TabStop && !child->TabSkip && enabled && child->Visible()) out.push_back(child);
    if (enabled) CollectTabStops(child, out);
  }
}

}  // namespace

bool NavigateKeys(TControl* control, TMsg& msg, LRESULT& result) {
  if (msg.Message != WM_KEYDOWN && msg.Message != WM_KEYUP) return false;
  const std::uint8_t bit = NavigationBit(msg.WParam);
  if (bit == 0 || (control->NavigationKeys & bit) == 0) return false;
  if (!control->Focused() || CtrlOrAltDown()) return false;
  if (msg.Message == WM_KEYDOWN) {
    bool forward = msg.WParam == VK_RIGHT || msg.WParam == VK_DOWN || msg.WParam == VK_NEXT;
    if (msg.WParam == VK_TAB) forward = GetKeyState(VK_SHIFT) >= 0;
    control->MoveFocus(forward);
  }
  msg.WParam = 0;  // consumed
  result = 0;
  return true;
}

void TControl::MoveFocus(bool forward) {
  TControl* form = ParentForm();
  if (form == nullptr) return;
  std::vector<TControl*> stops;
  CollectTabStops(form, stops);
  if (stops.empty()) return;
  const std::int32_t current = form->FocusedControl != nullptr ? form->FocusedControl->TabOrder : 0;
  TControl* chosen = nullptr;
  if (forward) {
    for (TControl* c : stops) {
      if (c->TabOrder > current && (chosen == nullptr || c->TabOrder < chosen->TabOrder)) chosen = c;
    }
    if (chosen == nullptr) {
      chosen = *std::min_element(stops.begin(), stops.end(),
                                 [](const TControl* a, const TControl* b) { return a->TabOrder < b->TabOrder; });
    }
  } else {
    for (TControl* c : stops) {
      if (c->TabOrder < current && (chosen == nullptr || c->TabOrder > chosen->TabOrder)) chosen = c;
    }
    if (chosen == nullptr) {
      chosen = *std::max_element(stops.begin(), stops.end(),
                                 [](const TControl* a, const TControl* b) { return a->TabOrder < b->TabOrder; });
    }
  }
  // A focus change made by the toolkit must not look like a click (buttons report one when
  // they get the focus this way).
  ++chosen->FocusInProgress;
  chosen->Focus();
  --chosen->FocusInProgress;
  form->FocusedControl = chosen;
}

// ---------------------------------------------------------------------------------------------
// Default and cancel buttons.

namespace {

// The MessageEvent that the handler replaced (called first).
TOnMessage gPreviousMessageEvent;

// The control object of a window, or of the combo box whose edit field it is.
TControl* ControlOf(HWND wnd) {
  if (TControl* c = TControl::FromHandle(wnd); c != nullptr) return c;
  return wnd != nullptr ? TControl::FromHandle(GetParent(wnd)) : nullptr;
}

bool Usable(const TControl* button) { return button != nullptr && button->Visible() && button->Enabled(); }

// Push buttons and multi-line edit boxes keep Enter for themselves; check boxes, radio buttons
// and the other button kinds do not.
bool KeepsEnter(const TControl* c) {
  if (c->ClassName == "BUTTON") {
    const DWORD kind = c->Style() & BS_TYPEMASK;
    return kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON;
  }
  return c->ClassName == "EDIT" && (c->Style() & ES_MULTILINE) != 0;
}

bool DefaultButtonsHandler(TMsg& msg, LRESULT& result) {
  if (gPreviousMessageEvent && gPreviousMessageEvent(msg, result)) return true;
  if (AppTerminated) return false;
  if (msg.Message != WM_KEYDOWN && msg.Message != WM_KEYUP) return false;
  if (msg.WParam != VK_RETURN && msg.WParam != VK_ESCAPE) return false;
  TControl* target = ControlOf(msg.Wnd);
  TControl* form = target != nullptr ? target->ParentForm() : nullptr;
  if (form == nullptr) return false;
  TControl* button = nullptr;
  if (msg.WParam == VK_RETURN) {
    TControl* focused = ControlOf(GetFocus());
    TControl* candidate = form->DefaultButton;
    if (Usable(candidate) &&
        (focused == nullptr || focused == candidate || (focused != form->CancelButton && !KeepsEnter(focused)))) {
      button = candidate;
    }
  } else if (Usable(form->CancelButton)) {
    button = form->CancelButton;
  }
  if (button == nullptr || !button->CreateControlWindow()) return false;
  if (msg.Message == WM_KEYDOWN) {
    ++button->FocusInProgress;
    button->Focus();
    --button->FocusInProgress;
  }
  // The space bar presses a push button: down pushes it, up releases and clicks it.
  SendMessageW(button->Handle(), msg.Message, VK_SPACE, msg.LParam);
  result = 0;
  return true;
}

void InstallButtonsHandler(TControl* control) {
  TControl* owner = AppWindow;
  if (owner == nullptr) {
    owner = control;
    while (owner->Parent() != nullptr) owner = owner->Parent();
  }
  const TOnMessage handler = MakeProc<&DefaultButtonsHandler>();
  if (owner->MessageEvent == handler) return;  // installed once
  gPreviousMessageEvent = owner->MessageEvent;
  owner->MessageEvent = handler;
}

}  // namespace

void TControl::SetDefaultButton(bool on) {
  TControl* form = ParentForm();
  if (form == nullptr || form == this) return;
  if (on) {
    form->DefaultButton = this;
    InstallButtonsHandler(this);
  } else if (form->DefaultButton == this) {
    form->DefaultButton = nullptr;
  }
}

void TControl::SetCancelButton(bool on) {
  TControl* form = ParentForm();
  if (form == nullptr || form == this) return;
  if (on) {
    form->CancelButton = this;
    InstallButtonsHandler(this);
  } else if (form->CancelButton == this) {
    form->CancelButton = nullptr;
  }
}

}  // namespace fliran
