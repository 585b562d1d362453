// TKvornWin, the base of every element that owns a window: the properties such elements share,
// the common outputs, and Init, which copies the properties into the control that the concrete
// element has just made and hooks the control's notifications to the element.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/debug.h"
#include "runtime/font.h"
#include "runtime/link.h"
#include "runtime/method.h"
#include "toolkit/control.h"
#include "visual/hint_manager.h"

namespace fliran {

// Returns the control of a window element (see TKvornWin::GetControlLink).
using TControlGetter = TMethod<TControl*()>;

// An optional object attached to a window element after the links; none in the panel.
struct TKvornAttachment {
  TMethod<void(TControl* control, std::int32_t first, std::int32_t second)> Attach;
  TMethod<void(TControl* control)> Detach;
};

// Ctl3D values.
enum : std::uint8_t { Ctl3DSunken = 0, Ctl3DBorder = 1, Ctl3DOwn = 2 };

class TKvornWin : public TDebug {
 public:
  TControlGetter ControlGetter;       // handed out by GetControlLink
  std::uint32_t ClassId = 0;          // per-class number (the slider uses it)
  bool WindowGone = false;            // the toolkit reported that the control's window went
  TControl* Parent = nullptr;         // not owned
  TControl* Companion = nullptr;      // never made here; freed with the element if present
  TOnMessage PreviousHook;            // the control's MessageEvent found at Init
  TMouseEventData LastMouse;          // the last mouse record (not for double clicks)
  std::int32_t KeyResult = 0;         // 0: the key-down of this keystroke was consumed
  TKvornHintManager::THintId HintId = nullptr;
  const TKvornHintManager::TInterface* HintManager = nullptr;  // not owned
  const TKvornAttachment* Attachment = nullptr;                 // not owned
  TKvorn_Event outMouseEnter;         // fired only while a hint manager is attached
  TKvorn_Event outMouseLeave;
  std::uint32_t StyleFlags = 0;       // option bits of the list elements

  TControl* Control = nullptr;        // made by the concrete Init; owned; its Element is the
                                      // element as a TKvornWin*
  std::string WinName;
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Width = 0;
  std::int32_t Height = 0;
  std::uint8_t Align = AlignNone;
  std::int32_t TabOrder = 0;          // > 0: tab stop with this order
  std::uint32_t Color = 0;
  std::uint8_t Ctl3D = Ctl3DOwn;
  std::string Hint;
  TFontRec Font;
  bool ParentFont = false;
  bool Transparent = false;
  bool Visible = true;
  bool Enabled = true;
  std::uint32_t Cursor = 0;           // system cursor id; 0 none
  bool MouseCapture = false;
  bool Flat = false;                  // style bit 0x8000
  bool ParentKeysFirst = true;
  // A companion bar that this program never makes (the factory stays empty); carried as data.
  TMethod<TControl*(TControl* control)> BarFactory;
  std::int32_t BarSize = 0;
  std::uint32_t BarColor = 0;
  std::int32_t BarFirst = 0;
  std::int32_t BarSecond = 0;
  std::uint8_t EdgeStyle = 0;         // 0..4, the extended edge when Ctl3D is 0
  std::int32_t AttachFirst = 0;       // handed to the attachment
  std::int32_t AttachSecond = 0;

  TKvorn_Event outKeyDown;     // integer: virtual-key code
  TKvorn_Event outKeyUp;       // integer: virtual-key code
  TKvorn_Event outChar;        // string: the typed character
  TKvorn_Event outMouseDown;   // integer: 0 left, 1 right, 2 middle
  TKvorn_Event outMouseMove;   // integer: the one button held, -1 none or several
  TKvorn_Event outMouseUp;     // integer: as outMouseDown
  TKvorn_Event outMouseWheel;  // integer: wheel distance, 120 per notch
  TKvorn_Event outSetFocus;
  TKvorn_Event outKillFocus;
  TKvorn_Event outDblClick;    // integer: as outMouseDown
  TKvorn_Event outResize;
  TKvorn_Event outShow;
  TKvorn_Event outHide;
  TKvorn_Event outMove;
  TKvorn_Event dataWidth;      // consulted while the size is about to change
  TKvorn_Event dataHeight;

  // Takes the parent's colour when a parent is given.
  explicit TKvornWin(TControl* parent);
  // Detaches the attachment, unregisters the hint, then hides and frees the control unless its
  // window is already gone (its owner frees it then).
  ~TKvornWin() override;

  // ---- virtual operations, in their table order ------------------------------------------
  virtual void KeyDown(int& key);
  virtual void KeyUp(int& key);
  virtual void KeyChar(char& key);
  virtual void MouseDown(TControl* sender, TMouseEventData& mouse);
  virtual void MouseMove(TControl* sender, TMouseEventData& mouse);
  virtual void MouseEnter(TControl* sender);
  virtual void MouseLeave(TControl* sender);
  virtual void MouseUp(TControl* sender, TMouseEventData& mouse);
  virtual void MouseWheel(TControl* sender, TMouseEventData& mouse);
  // True when the message was handled; result is then its result.
  virtual bool MessageHook(TMsg& msg, LRESULT& result);
  virtual void ControlGone(TControl* sender);
  virtual void Resized(TControl* sender);
  virtual void Shown(TControl* sender);
  virtual void Hidden(TControl* sender);
  // Configures Control; every concrete element makes its control first, then calls this.
  virtual void Init();
  virtual const TControlGetter& GetControlLink();

  // Called by the scheme after the links: with a manager, or with none and a non-empty Hint
  // (the default manager), the control's window is registered for a tooltip.
  void SetupHint(const TKvornHintManager::TInterface* manager);
  void SetupAttachment(const TKvornAttachment* attachment);

  // The held-button rule of outMouseMove: exactly left, right or middle, else -1.
  static std::int32_t HeldButton(std::uint32_t shift);
  // The signed wheel distance carried in the high 16 bits of the state word.
  static std::int32_t WheelDistance(std::uint32_t shift);

 protected:
  // Makes control this element's Control and learns when the object goes, whoever frees it.
  void AdoptControl(TControl* control);

 private:
  TControl* GetControl() { return Control; }
  void ControlFreed(TObj* sender);
  void OnKeyDown(TControl* sender, int& key);
  void OnKeyUp(TControl* sender, int& key);
  void OnChar(TControl* sender, char& key);
  void OnDblClick(TControl* sender, TMouseEventData& mouse);
  bool OnMessage(TMsg& msg, LRESULT& result);
  // Lets dataHeight or dataWidth change a proposed size (WM_WINDOWPOSCHANGING).
  static void AdjustProposed(const TKvorn_Event& pull, int& proposed, int current);
};

}  // namespace fliran
