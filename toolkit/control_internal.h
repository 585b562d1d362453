// Pieces of the control object shared by its source files; not for use outside the toolkit.
#pragma once

#include <string>

#include "runtime/cp1251.h"
#include "toolkit/control.h"
#include "toolkit/fatal_error.h"

namespace fliran {

inline constexpr wchar_t SelfProperty[] = L"SELF_";
inline constexpr wchar_t PrevProcProperty[] = L"PREV_PROC";

// The binding of a window to its control: the window property "SELF_", and beside it a table of
// the process that every message reads instead (a window property lives with the window server:
// under Wine each read is a round trip to it, which the table spares the messages of a click).
void BindWindow(HWND wnd, TControl* control);
void UnbindWindow(HWND wnd);   // removes the property and the table's entry
void ForgetWindow(HWND wnd);   // the table's entry only, for a window that is gone
TControl* BoundControl(HWND wnd);

// The toolkit's window (or a combo box's edit field) that has the keyboard focus, or null when
// the focus is elsewhere: followed from the focus messages that every such window receives, so
// that a key message can be checked against it without asking the platform (GetFocus is a round
// trip to the window server under Wine, on every key).
void FollowFocus(HWND wnd, UINT message);
HWND FocusedWindow();

// Gives the toolkit's own source files access to a control's private state.
struct TControlAccess {
  static HWND& Handle(TControl* c) { return c->handle_; }
  static bool& Destroying(TControl* c) { return c->destroying_; }
  static HWND& ComboEdit(TControl* c) { return c->comboEdit_; }
  static bool& Visible(TControl* c) { return c->visible_; }
  static DWORD& Style(TControl* c) { return c->style_; }
  static DWORD& ExStyle(TControl* c) { return c->exStyle_; }
  static std::string& Caption(TControl* c) { return c->caption_; }
  static RECT& Bounds(TControl* c) { return c->bounds_; }
  static const std::vector<TControl*>& Children(const TControl* c) { return c->children_; }
};

// The control whose window CreateWindowExW is making right now (one program-wide slot).
inline TControl* CreatingControl = nullptr;

// Counts the application windows alive (the main-window rule asks whether one exists).
inline int AppWindowCount = 0;

// The toolkit's window procedure, used by every "obj_" class.
LRESULT CALLBACK ToolkitWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);

// Message procedures attached by the constructors.
bool CommonControlHook(TControl* control, TMsg& msg, LRESULT& result);
bool ComboBoxHook(TControl* control, TMsg& msg, LRESULT& result);
bool FormHook(TControl* control, TMsg& msg, LRESULT& result);
bool AppWindowHook(TControl* control, TMsg& msg, LRESULT& result);
void AppWindowAfterCreate(TControl* control);
void ComboBoxAfterCreate(TControl* control);

// Frees the object once the messages now queued are handled: the platform drops messages
// posted to a window that is being destroyed, so the request goes to the toolkit's own
// message-only window, and the object is held until it arrives.
void PostDeferredFree(TControl* control);

// Key code, shift state and mouse helpers. The shift state holds MK_SHIFT, MK_CONTROL and
// ShiftAlt for the keys held down.
inline constexpr std::uint32_t ShiftAlt = 0x20;
std::uint32_t ShiftState();
bool CtrlOrAltDown();

// Requests a WM_MOUSELEAVE for the window (through _TrackMouseEvent when the platform has it).
void TrackMouseLeave(HWND wnd);

}  // namespace fliran
