// TKvornWin: defaults, Init, the key, mouse and message handlers, hint and attachment set-up,
// and destruction.
#include "visual/win.h"

#include "toolkit/win.h"

namespace fliran {

TKvornWin::TKvornWin(TControl* parent) : Parent(parent) {
  if (parent != nullptr) Color = parent->Color();
}

TKvornWin::~TKvornWin() {
  if (Attachment != nullptr && Attachment->Detach && Control != nullptr) Attachment->Detach(Control);
  // The tip window belongs to the manager: it goes through the manager while the window it is
  // owned by still exists, instead of being destroyed with that window behind its back.
  if (HintId != nullptr && HintManager != nullptr && HintManager->UnregisterTool) HintManager->UnregisterTool(HintId);
  HintId = nullptr;
  if (Control == nullptr) return;  // already freed by its owner
  TControl* control = Control;
  Control = nullptr;
  control->OnDestroy = {};
  // Nothing the window still says while it goes may reach this half-destroyed element: its
  // handlers point here, and outputs fired now could reach elements that are already gone.
  control->MessageEvent = PreviousHook;
  control->ClickEvent = {};
  control->FocusInEvent = {};
  control->FocusOutEvent = {};
  control->ChangeEvent = {};
  control->SelectionEvent = {};
  control->CloseEvent = {};
  control->PaintEvent = {};
  control->MeasureItemEvent = {};
  control->DrawItemEvent = {};
  control->CloseUpEvent = {};
  control->MouseEnterEvent = {};
  control->MouseLeaveEvent = {};
  control->MouseDownEvent = {};
  control->MouseMoveEvent = {};
  control->MouseUpEvent = {};
  control->MouseWheelEvent = {};
  control->MouseDblClickEvent = {};
  control->KeyDownEvent = {};
  control->KeyUpEvent = {};
  control->CharEvent = {};
  control->ResizeEvent = {};
  control->ShowEvent = {};
  control->HideEvent = {};
  control->WindowDestroyedEvent = {};
  control->Element = nullptr;
  if (WindowGone) return;  // the window is gone; the control's owner frees the object
  FreeObj(Companion);
  Companion = nullptr;
  control->Hide();
  control->Free();
}

void TKvornWin::AdoptControl(TControl* control) {
  Control = control;
  if (control != nullptr) control->OnDestroy = MakeMethod<&TKvornWin::ControlFreed>(this);
}

void TKvornWin::ControlFreed(TObj*) {
  Control = nullptr;
  WindowGone = true;
}

// ---------------------------------------------------------------------------------------------
// Init.

void TKvornWin::Init() {
  AdoptControl(Control);
  TControl* c = Control;
  if (c == nullptr) return;
  // 1, 2: getter, colour, bounds.
  ControlGetter = MakeMethod<&TKvornWin::GetControl>(this);
  c->SetColor(Color);
  c->SetBoundsRect(RECT{Left, Top, Left + Width, Top + Height});
  // 3: the border.
  if (Ctl3D == Ctl3DSunken) {
    c->AddExStyle(WS_EX_CLIENTEDGE);
    c->RemoveStyle(WS_BORDER);
  } else if (Ctl3D == Ctl3DBorder) {
    c->RemoveExStyle(WS_EX_CLIENTEDGE);
    c->AddStyle(WS_BORDER);
  }
  // 4, 5: painting, enabling, cursor, flat look.
  c->Transparent = Transparent;
  c->SetEnabled(Enabled);
  c->Cursor = Cursor != 0 ? LoadCursorW(nullptr, MAKEINTRESOURCEW(Cursor)) : nullptr;
  if (Flat) c->AddStyle(0x8000);
  // 6: the font.
  if (ParentFont) {
    if (Parent != nullptr) c->Font()->Assign(*Parent->Font());
  } else {
    TGraphicTool* font = c->Font();
    font->SetColor(Font.Color);
    font->SetFontStyle(Font.Style);
    font->SetFontName(Font.Name);
    font->SetFontHeight(FontHeight(Font.Size));
    font->SetFontCharSet(Font.CharSet);
  }
  // 7: tab order.
  if (TabOrder > 0) {
    c->AddStyle(WS_TABSTOP);
    c->TabStop = true;
    c->TabOrder = TabOrder;
  } else {
    c->TabSkip = TabOrder == 0;
  }
  // 8: the handlers.
  PreviousHook = c->MessageEvent;
  c->MouseDownEvent = MakeMethod<&TKvornWin::MouseDown>(this);
  c->MouseMoveEvent = MakeMethod<&TKvornWin::MouseMove>(this);
  c->MouseUpEvent = MakeMethod<&TKvornWin::MouseUp>(this);
  c->MouseWheelEvent = MakeMethod<&TKvornWin::MouseWheel>(this);
  c->MouseDblClickEvent = MakeMethod<&TKvornWin::OnDblClick>(this);
  c->MessageEvent = MakeMethod<&TKvornWin::OnMessage>(this);
  c->WindowDestroyedEvent = MakeMethod<&TKvornWin::ControlGone>(this);
  c->KeyDownEvent = MakeMethod<&TKvornWin::OnKeyDown>(this);
  c->KeyUpEvent = MakeMethod<&TKvornWin::OnKeyUp>(this);
  c->CharEvent = MakeMethod<&TKvornWin::OnChar>(this);
  c->ResizeEvent = MakeMethod<&TKvornWin::Resized>(this);
  c->ShowEvent = MakeMethod<&TKvornWin::Shown>(this);
  c->HideEvent = MakeMethod<&TKvornWin::Hidden>(this);
  // 9: alignment.
  c->SetAlign(Align);
  // 10: created hidden, then shown as wished.
  if (c->Handle() != nullptr) {
    SetWindowPos(c->Handle(), nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_HIDEWINDOW | SWP_NOOWNERZORDER);
  }
  c->SetVisible(Visible);
  c->CreateControlWindow();
  // 11: the extended edge.
  if (Ctl3D == Ctl3DSunken) {
    switch (EdgeStyle) {
      case 1: c->SetExStyle(0); break;
      case 2: c->SetExStyle(WS_EX_STATICEDGE); break;
      case 3: c->SetExStyle(WS_EX_DLGMODALFRAME); break;
      case 4: c->SetExStyle(WS_EX_DLGMODALFRAME | WS_EX_CLIENTEDGE); break;
      default: break;
    }
  }
}

const TControlGetter& TKvornWin::GetControlLink() { return ControlGetter; }

// ---------------------------------------------------------------------------------------------
// Keys. The parent's handler of the same kind sees the key first and may consume it.

void TKvornWin::OnKeyDown(TControl*, int& key) {
  if (ParentKeysFirst && Parent != nullptr && Parent->KeyDownEvent) {
    Parent->KeyDownEvent(Parent, key);
    if (key == 0) {
      // Consumed by the parent: the character of this keystroke is consumed as well, rather
      // than left to whatever the previous keystroke left in the key result.
      KeyResult = 0;
      return;
    }
  }
  KeyResult = -1;
  KeyDown(key);
  if (key == 0) KeyResult = 0;
}

void TKvornWin::OnKeyUp(TControl*, int& key) {
  if (ParentKeysFirst && Parent != nullptr && Parent->KeyUpEvent) {
    Parent->KeyUpEvent(Parent, key);
    if (key == 0) return;
  }
  KeyResult = -1;
  KeyUp(key);
}

void TKvornWin::OnChar(TControl*, char& key) {
  if (ParentKeysFirst && Parent != nullptr && Parent->CharEvent) {
    Parent->CharEvent(Parent, key);
    if (key == 0) return;
  }
  if (KeyResult != 0) {
    KeyResult = -1;
    KeyChar(key);
  } else {
    key = 0;  // the key-down of this keystroke was consumed: so is its character
  }
}

void TKvornWin::KeyDown(int& key) { FireInt(outKeyDown, key); }
void TKvornWin::KeyUp(int& key) { FireInt(outKeyUp, key); }
void TKvornWin::KeyChar(char& key) { FireStr(outChar, std::string(1, key)); }

// ---------------------------------------------------------------------------------------------
// Mouse.

std::int32_t TKvornWin::HeldButton(std::uint32_t shift) {
  switch (shift) {
    case MK_LBUTTON: return 0;
    case MK_RBUTTON: return 1;
    case MK_MBUTTON: return 2;
    default: return -1;
  }
}

std::int32_t TKvornWin::WheelDistance(std::uint32_t shift) { return static_cast<std::int16_t>(shift >> 16); }

void TKvornWin::MouseDown(TControl*, TMouseEventData& mouse) {
  LastMouse = mouse;
  FireInt(outMouseDown, mouse.Button - 1);
  if (MouseCapture && Control != nullptr) {
    ReleaseCapture();
    SetCapture(Control->Handle());
  }
}

void TKvornWin::MouseMove(TControl*, TMouseEventData& mouse) {
  LastMouse = mouse;
  if (HintManager != nullptr && HintManager->TrackMove) HintManager->TrackMove(HintId, mouse.X, mouse.Y);
  FireInt(outMouseMove, HeldButton(mouse.Shift));
}

void TKvornWin::MouseEnter(TControl*) {
  if (HintManager != nullptr && HintManager->TrackShow) HintManager->TrackShow(HintId);
  FireNull(outMouseEnter);
}

void TKvornWin::MouseLeave(TControl*) {
  if (HintManager != nullptr && HintManager->TrackHide) HintManager->TrackHide(HintId);
  FireNull(outMouseLeave);
}

void TKvornWin::MouseUp(TControl*, TMouseEventData& mouse) {
  LastMouse = mouse;
  FireInt(outMouseUp, mouse.Button - 1);
  if (MouseCapture) ReleaseCapture();
}

void TKvornWin::MouseWheel(TControl*, TMouseEventData& mouse) {
  LastMouse = mouse;
  FireInt(outMouseWheel, WheelDistance(mouse.Shift));
}

void TKvornWin::OnDblClick(TControl*, TMouseEventData& mouse) { FireInt(outDblClick, mouse.Button - 1); }

// ---------------------------------------------------------------------------------------------
// Messages and notifications.

bool TKvornWin::OnMessage(TMsg& msg, LRESULT& result) {
  // The MessageEvent of a form also sees the messages of windows subclassed on its behalf (a
  // combo box's edit field); only the control's own window speaks for this element.
  if (Control != nullptr && msg.Wnd == Control->Handle()) return MessageHook(msg, result);
  return PreviousHook ? PreviousHook(msg, result) : false;
}

void TKvornWin::AdjustProposed(const TKvorn_Event& pull, int& proposed, int current) {
  if (proposed == current) return;
  TData d;
  MakeInt(&d, proposed - current);
  ReadLinkData(pull, &d);
  if (IsInteger(d)) proposed = current + d.IntValue;
}

bool TKvornWin::MessageHook(TMsg& msg, LRESULT& result) {
  switch (msg.Message) {
    case WM_MOVE: FireNull(outMove); break;
    case WM_SETFOCUS: FireNull(outSetFocus); break;
    case WM_KILLFOCUS: FireNull(outKillFocus); break;
    case WM_WINDOWPOSCHANGING: {
      auto* pos = reinterpret_cast<WINDOWPOS*>(msg.LParam);
      if (pos != nullptr && (pos->flags & SWP_NOSIZE) == 0 && Control != nullptr) {
        AdjustProposed(dataHeight, pos->cy, Control->Height());
        AdjustProposed(dataWidth, pos->cx, Control->Width());
      }
      break;
    }
    default: break;
  }
  return PreviousHook ? PreviousHook(msg, result) : false;
}

void TKvornWin::ControlGone(TControl*) { WindowGone = true; }
void TKvornWin::Resized(TControl*) { FireNull(outResize); }
void TKvornWin::Shown(TControl*) { FireNull(outShow); }
void TKvornWin::Hidden(TControl*) { FireNull(outHide); }

// ---------------------------------------------------------------------------------------------
// Hint and attachment.

void TKvornWin::SetupHint(const TKvornHintManager::TInterface* manager) {
  if (Control == nullptr) return;
  if (manager != nullptr) {
    Control->MouseEnterEvent = MakeMethod<&TKvornWin::MouseEnter>(this);
    Control->MouseLeaveEvent = MakeMethod<&TKvornWin::MouseLeave>(this);
  } else {
    if (Hint.empty() || DefaultHintManager() == nullptr) return;
    manager = &DefaultHintManager()->Interface;
  }
  if (!Control->CreateControlWindow()) return;
  HintId = manager->RegisterTool(Control->Handle());
  manager->SetToolText(HintId, Hint);
  HintManager = manager;
}

void TKvornWin::SetupAttachment(const TKvornAttachment* attachment) {
  if (attachment != nullptr && attachment->Attach) attachment->Attach(Control, AttachFirst, AttachSecond);
  Attachment = attachment;
}

}  // namespace fliran
