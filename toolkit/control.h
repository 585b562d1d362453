// TControl: the one toolkit object for every window of the program (the hidden application
// window, forms and the standard controls).
//
// API in brief. Controls are made by the constructors at the end of this file (CreateAppWindow,
// CreateForm, CreateStandardControl, CreateEditBox, CreateComboBox, CreateLabel, CreateButton).
// A control owns its child controls: freeing a control frees its children first, then
// destroys its window. The window is made on first need by CreateControlWindow() (parents
// first) and bound to the object through the window property "SELF_", so a message that
// arrives while CreateWindowExW runs already reaches its object. Incoming messages run through
// WndProc in a fixed order (program-wide filter, the application's MessageEvent, the control's
// own MessageEvent, MessageHooks, keyboard navigation, default handling, after-message hook);
// notifications become the events below (ClickEvent, ChangeEvent, SelectionEvent ...). The item
// and text operations (ItemCount, GetItemText, AddItemText, CurrentIndex, GetText, SetText ...)
// send the messages named by the control's CommandTable; an entry 0 makes them do nothing.
// Texts are CP1251 bytes in the program and UTF-16 at the platform boundary (see below).
// Everything runs on the GUI thread.
//
// Why wide calls: the program's texts are CP1251, but the platform's ANSI calls convert with the
// system's code page, which shows Cyrillic as garbage wherever that code page is not 1251 (Wine
// under a UTF-8 locale, for one). The toolkit therefore makes Unicode windows
// (RegisterClassExW, CreateWindowExW, CallWindowProcW, DefWindowProcW) and converts every text
// that crosses the boundary explicitly with Cp1251ToWide / WideToCp1251; text read back from a
// control comes back as CP1251. Class names, styles and message numbers are unchanged.
//
// Failures: an exception that reaches a window procedure is a bug; the toolkit cannot unwind
// through the platform's frames, so it shows the exception's text in a message box (and prints
// it to stderr), then ends the process with exit code 3.
//
// Deferred free of the main window: the platform drops messages posted to a window that is being
// destroyed, so the request (0xB003) goes to a message-only window of the toolkit, with the
// object held until it arrives; 0xB003 sent to a control itself frees it as well.
//
// Names: <windows.h> defines macros such as CreateWindow, SendMessage and GetClassInfo, so the
// create-window operation is called CreateControlWindow() and no member takes such a name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/method.h"
#include "runtime/wide_string.h"
#include "toolkit/graphics.h"
#include "toolkit/obj.h"
#include "toolkit/win.h"

namespace fliran {

class TControl;

// Private messages of the toolkit.
inline constexpr UINT WM_DEFERRED_FREE = 0xB003;      // free the object after its window is gone
inline constexpr UINT WM_REFLECTED_COMMAND = 0xB005;  // WM_COMMAND reflected to the notifying control
inline constexpr UINT WM_PROGRAM_CALL = 0x8FFF;       // calls ProgramMessageProc
inline constexpr UINT ReflectOffset = 0xBC00;         // WM_CTLCOLORxxx reflected as message + 0xBC00
inline constexpr WORD ComboSelectionCode = 15;        // private notification: selection settled
inline constexpr std::uint16_t FirstControlId = 0x8000;

// One window message as the toolkit handles it.
struct TMsg {
  HWND Wnd = nullptr;
  UINT Message = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;  // the final result, filled in when handling ends
};

// A mouse notification: Button 1 left, 2 right, 3 middle (0 none); Shift holds the key and button
// flags of the message (MK_xxx; for the wheel the signed distance in the high 16 bits); X and Y
// in client coordinates. A handler may set StopHandling to keep the message from the platform.
struct TMouseEventData {
  std::uint8_t Button = 0;
  std::uint32_t Shift = 0;
  std::int16_t X = 0;
  std::int16_t Y = 0;
  bool StopHandling = false;
};

// Events and hooks are method references (code and object).
using TOnEvent = TMethod<void(TControl* sender)>;
// MessageEvent: answers true when it handled the message; result is then the message result.
using TOnMessage = TMethod<bool(TMsg& msg, LRESULT& result)>;
// An attached message procedure: same contract, with the control it is attached to.
using TMessageHook = TMethod<bool(TControl* control, TMsg& msg, LRESULT& result)>;
using TOnClose = TMethod<void(TControl* sender, bool& accept)>;
using TOnPaint = TMethod<void(TControl* sender, HDC dc)>;
using TOnMeasureItem = TMethod<int(TControl* sender, int index)>;  // answers the row height
using TOnDrawItem = TMethod<bool(TControl* sender, const DRAWITEMSTRUCT& item)>;
using TOnMouse = TMethod<void(TControl* sender, TMouseEventData& mouse)>;
// Key handlers get the key by reference; setting it to 0 consumes the key. A handler that needs
// the modifier keys reads them itself (GetKeyState): under Wine reading the keyboard state is a
// round trip to the window server, which most keys need not pay for.
using TOnKey = TMethod<void(TControl* sender, int& key)>;
using TOnChar = TMethod<void(TControl* sender, char& key)>;  // a CP1251 byte
using TOnAfterCreate = TMethod<void(TControl* sender)>;
using TOnAfterMessage = TMethod<void(TControl* sender, const TMsg& msg)>;
// Called by the message loop for every message taken from the queue; true = handled there.
using TAppMessageFilter = TMethod<bool(TControl* window, MSG& msg)>;

// A plain function as a method reference (its object is ignored), for procedures that need no
// object: MakeProc<&ScrollHook>().
template <auto Function>
auto MakeProc() {
  return []<class R, class... Args>(R (*)(Args...)) {
    TMethod<R(Args...)> method;
    method.Code = [](void*, Args... args) -> R { return Function(args...); };
    return method;
  }(Function);
}

// The item messages of one control kind; copied into the control when it is made. A message
// number 0 means the kind does not support the operation.
struct TCommandTable {
  void (*Clear)(TControl* control) = nullptr;
  std::int32_t (*Add)(TControl* control, std::string_view text) = nullptr;  // optional
  // Notification codes (high word of WM_COMMAND's first parameter).
  WORD ClickCode = 0;
  WORD FocusInCode = 0;
  WORD FocusOutCode = 0;
  WORD ChangeCode = 0;
  WORD SelectionCode = 0;
  // Item messages.
  UINT ItemCount = 0;
  UINT ItemTextLength = 0;
  UINT GetItemText = 0;
  UINT SetItemText = 0;
  UINT GetItemValue = 0;
  UINT SetItemValue = 0;
  UINT AddItemText = 0;
  UINT DeleteItem = 0;
  UINT InsertItemText = 0;
  UINT FindExact = 0;
  UINT FindPrefix = 0;
  UINT GetCurrentIndex = 0;
  UINT SetCurrentIndex = 0;
  UINT GetSelection = 0;
  UINT SetSelection = 0;
  UINT TextLimit = 0;
  // Text alignment styles (left, right, centre) and the style bits they replace.
  DWORD AlignLeft = 0;
  DWORD AlignRight = 0;
  DWORD AlignCenter = 0;
  DWORD AlignMask = 0;
};

extern const TCommandTable EditCommands;
extern const TCommandTable ComboBoxCommands;
extern const TCommandTable ButtonCommands;
extern const TCommandTable LabelCommands;

// NavigationKeys bits: the keys a control leaves to the keyboard navigation.
enum : std::uint8_t {
  NavigateTab = 1,        // Tab, Shift+Tab
  NavigateLeftRight = 2,  // Left, Right
  NavigateUpDown = 4,     // Up, Down
  NavigatePages = 8,      // Page Up, Page Down
};

// Alignment of a control inside its parent's client area.
enum : std::uint8_t { AlignNone = 0, AlignLeft = 1, AlignTop = 2, AlignRight = 3, AlignBottom = 4, AlignClient = 5 };

// The keyboard-navigation procedure: handles a navigation key of the focused control; true when
// it consumed the message.
using TNavigationProc = bool (*)(TControl* control, TMsg& msg, LRESULT& result);
bool NavigateKeys(TControl* control, TMsg& msg, LRESULT& result);

// ---------------------------------------------------------------------------------------------
// Program-wide replaceable procedures (GUI thread only).

// Runs first for every message of every control; null until transparent painting is used.
inline bool (*ProgramMessageFilter)(TControl* control, TMsg& msg, LRESULT& result) = nullptr;
// Runs after every window creation; null until transparent painting is used.
inline void (*ProgramAfterCreate)(TControl* control) = nullptr;
// May take key messages of the focused control before its own key events.
inline bool (*ProgramKeyFilter)(TControl* control, TMsg& msg, LRESULT& result) = nullptr;
// Called for the private message 0x8FFF with its two parameters.
inline void (*ProgramMessageProc)(WPARAM first, LPARAM second) = nullptr;
// Called for MM_MCINOTIFY.
inline void (*MediaNotifyProc)(TControl* control, TMsg& msg) = nullptr;
// The override cursor shown over every control's client area while set.
inline HCURSOR ScreenCursor = nullptr;

class TControl : public TObj {
 public:
  // A control of the given window class kind ("EDIT", "Form" ...) under parent (null for a
  // top-level window). The parent takes ownership. Prefer the Create... constructors below.
  TControl(TControl* parent, std::string className);

  // ---- virtual operations ---------------------------------------------------------------
  // Attach to a parent and take its colours, font, brush and navigation procedure.
  virtual void AttachParent(TControl* parent);
  // Makes the window if it does not exist yet (parents first). Result: success.
  virtual bool CreateControlWindow();
  // Handles one message; answers the message result.
  virtual LRESULT WndProc(TMsg& msg);

  // ---- identity ---------------------------------------------------------------------------
  HWND Handle() const { return handle_; }
  TControl* Parent() const { return parent_; }
  std::int32_t ChildCount() const { return static_cast<std::int32_t>(children_.size()); }
  TControl* Child(std::int32_t i) const;
  // The object bound to a window through "SELF_", or null.
  static TControl* FromHandle(HWND wnd);

  std::string ClassName;         // "EDIT", "COMBOBOX", "Form", "App" ...
  bool PlainClass = false;       // use ClassName as is instead of the "obj_" superclass
  bool CommonControl = false;    // made by CreateStandardControl
  std::uint16_t ControlId = 0;   // 0x8000 onwards for common controls
  bool IsForm() const { return ClassName == "Form"; }
  bool IsAppWindow() const { return ClassName == "App"; }
  // The form this control sits on: itself for a form, else the nearest form among its parents,
  // else the topmost parent.
  TControl* ParentForm();
  // The main window: not a common control, and either parentless and the application object (or
  // no application window exists), or the first child of a parentless control.
  bool IsMainWindow() const;
  // Element that owns this control (set by the element; the toolkit does not use it).
  void* Element = nullptr;

  // ---- creation parameters and style --------------------------------------------------------
  DWORD Style() const;
  DWORD ExStyle() const;
  // Changing a style of an existing window tells it that its frame changed.
  void SetStyle(DWORD style);
  void SetExStyle(DWORD exStyle);
  void AddStyle(DWORD bits) { SetStyle(Style() | bits); }
  void RemoveStyle(DWORD bits) { SetStyle(Style() & ~bits); }
  void AddExStyle(DWORD bits) { SetExStyle(ExStyle() | bits); }
  void RemoveExStyle(DWORD bits) { SetExStyle(ExStyle() & ~bits); }
  UINT ClassStyle = 0;
  WNDPROC BaseProc = nullptr;  // the platform class's procedure, for default processing

  // ---- geometry -----------------------------------------------------------------------------
  // Bounds in the parent's client coordinates (screen coordinates for top-level windows).
  RECT BoundsRect() const;
  void SetBoundsRect(const RECT& bounds);
  void SetPosition(int left, int top);
  void SetSize(int width, int height);
  int Left() const { return BoundsRect().left; }
  int Top() const { return BoundsRect().top; }
  int Width() const;
  int Height() const;
  RECT ClientRect() const;
  bool PlacedExplicitly = false;  // position set by the program (else the platform's default)

  std::uint8_t Align() const { return align_; }
  // Installs the alignment procedure and lays out the parent's children again.
  void SetAlign(std::uint8_t align);
  std::int32_t Margin = 0;
  // Lays out the children by their alignment (three passes: top/bottom, left/right, client).
  void AlignChildren();

  // ---- visibility, focus, painting ---------------------------------------------------------
  bool Visible() const;
  // The show operation: ShowWindow with 5 (visible) or 0 (hidden); before the window exists it
  // only records the wish.
  void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const;
  void SetEnabled(bool enabled);
  // Gives the focus to the window (made first if needed).
  void Focus();
  bool Focused() const;
  bool CanFocus() const;
  void Invalidate();
  // Puts the window above its siblings (it takes over where they overlap), without activating it.
  void BringToFront();

  // ---- appearance ---------------------------------------------------------------------------
  std::uint32_t Color() const { return color_; }
  // Background colour; the brush follows it.
  void SetColor(std::uint32_t color);
  // Text colour (the font's colour).
  std::uint32_t TextColor() const;
  void SetTextColor(std::uint32_t color);
  TGraphicTool* Font() const { return font_.get(); }
  TGraphicTool* Brush() const { return brush_.get(); }
  // The brush for erasing and colour messages: the parent's when the colours are equal, else a
  // solid brush of this control's colour.
  HBRUSH BrushHandle();
  bool Transparent = false;
  bool Ctl3DChild = true;      // passed on to children
  HCURSOR Cursor = nullptr;
  // Icon for WM_SETICON; owned ones are destroyed with the control.
  HICON Icon() const { return icon_; }
  void SetIcon(HICON icon, bool owned = false);
  std::uint8_t Alpha() const { return alpha_; }
  // 255 removes WS_EX_LAYERED; below 255 makes the window layered with that alpha.
  void SetWindowAlpha(std::uint8_t alpha);
  // Text alignment: 0 left, 1 right, 2 centre (the kind's alignment styles).
  void SetTextAlign(int align);
  // STATIC: size the control so that its client area holds its text whenever text, font or
  // border change.
  void SetAutoSize(bool autoSize);

  // ---- texts --------------------------------------------------------------------------------
  std::string GetText() const;
  void SetText(std::string_view text);

  // ---- item operations (CommandTable) -------------------------------------------------------
  TCommandTable Commands;
  // Makes the window if needed, sends the message, answers the result (0 without a window).
  LRESULT SendToControl(UINT message, WPARAM first, LPARAM second);
  std::int32_t ItemCount();
  std::string GetItemText(std::int32_t i);
  void SetItemText(std::int32_t i, std::string_view text);
  // Answers the new index; an edit control appends to its text, whatever its text limit, and
  // answers the index of the line the text now ends on (lines counted by CR LF).
  std::int32_t AddItemText(std::string_view text);
  std::int32_t InsertItemText(std::int32_t i, std::string_view text);  // -1 when unsupported
  void DeleteItem(std::int32_t i);
  void ClearItems();
  // The index of the first item equal to (exact) or starting with text; -1 when none.
  std::int32_t FindItem(std::string_view text, bool exact);
  std::int32_t CurrentIndex();
  void SetCurrentIndex(std::int32_t i);
  std::int32_t GetItemValue(std::int32_t i);            // 0 when unsupported
  void SetItemValue(std::int32_t i, std::int32_t value);
  std::int32_t LineStart(std::int32_t i);
  std::int32_t SelStart();
  std::int32_t SelLength();
  void SetSelStart(std::int32_t start);
  void SetSelLength(std::int32_t length);  // negative: to the end of the text
  void SetTextLimit(std::int32_t limit);

  // ---- events -------------------------------------------------------------------------------
  TOnMessage MessageEvent;
  TOnEvent ClickEvent;
  TOnEvent FocusInEvent;
  TOnEvent FocusOutEvent;
  TOnEvent ChangeEvent;
  TOnEvent SelectionEvent;
  TOnClose CloseEvent;
  TOnPaint PaintEvent;
  TOnMeasureItem MeasureItemEvent;
  TOnDrawItem DrawItemEvent;
  TOnEvent CloseUpEvent;
  TOnEvent MouseEnterEvent;   // mouse-leave tracking is requested while either is set
  TOnEvent MouseLeaveEvent;
  TOnMouse MouseDownEvent;
  TOnMouse MouseMoveEvent;
  TOnMouse MouseUpEvent;
  TOnMouse MouseWheelEvent;
  TOnMouse MouseDblClickEvent;
  TOnKey KeyDownEvent;
  TOnKey KeyUpEvent;
  TOnChar CharEvent;
  TOnEvent ResizeEvent;          // every WM_SIZE
  TOnEvent ShowEvent;            // WM_SHOWWINDOW showing a window that is not visible yet
  TOnEvent HideEvent;            // WM_SHOWWINDOW hiding a visible window
  TOnEvent WindowDestroyedEvent; // the window is gone (WM_NCDESTROY)

  // ---- hooks --------------------------------------------------------------------------------
  std::vector<TMessageHook> MessageHooks;
  // Appends a procedure to MessageHooks; one already present is not added twice.
  void AttachHook(TMessageHook hook);
  void DetachHook(TMessageHook hook);
  TOnAfterCreate AfterCreateHook;
  TOnAfterMessage AfterMessageHook;
  // Called by the message loop (ProcessOneMessage) for every message it takes.
  TAppMessageFilter AppMessageFilter;
  // Inherited from the parent at creation; when null, the parents' procedures are used.
  TNavigationProc NavigationProc = nullptr;
  // Installs the keyboard navigation (Tab, arrows, page keys) on this control and everything
  // below it.
  void EnableNavigation() { NavigationProc = &NavigateKeys; }
  TNavigationProc EffectiveNavigationProc() const;

  // ---- navigation state ----------------------------------------------------------------------
  std::uint8_t NavigationKeys = 0;
  std::int32_t TabOrder = 0;
  bool TabStop = false;        // takes part in Tab navigation
  bool TabSkip = false;        // left out of Tab navigation even though a tab stop
  std::int32_t ControlCounter = 0;        // forms: tab order given to the last control made
  TControl* FocusedControl = nullptr;     // forms and the application window: last focused
  TControl* DefaultButton = nullptr;      // forms: pressed by Enter
  TControl* CancelButton = nullptr;       // forms: pressed by Esc
  // Buttons: mark as the Enter / Esc button of their form.
  void SetDefaultButton(bool on);
  void SetCancelButton(bool on);
  // Moves the focus inside this control's form to the next (or previous) tab stop.
  void MoveFocus(bool forward);

  std::int32_t FocusInProgress = 0;   // > 0 while the toolkit moves the focus
  bool Destroying() const { return destroying_; }
  bool DroppedDown = false;           // combo box: the list is open
  std::int32_t DropDownIndex = -1;    // combo box: CurrentIndex when the list opened
  bool Coloured = false;              // combo box: paint the list with Color and the brush
  std::uint8_t SizeState = 0;         // last WM_SIZE: 0 restored, 1 minimised, 2 maximised

  // Default processing: the platform class's procedure, or DefWindowProcW.
  LRESULT DefaultProc(TMsg& msg);

 protected:
  ~TControl() override;

 private:
  friend LRESULT CALLBACK ToolkitWindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam);
  friend struct TControlAccess;

  LRESULT DefaultHandling(TMsg& msg);
  LRESULT HandleKey(TMsg& msg);
  void HandleMouse(TMsg& msg, bool& stop);
  bool RegisterSuperclass(WideString& registeredName);
  void ApplyFont();
  void AdjustAutoSize();
  void FontChanged(TGraphicTool* tool);
  void BrushChanged(TGraphicTool* tool);
  void RemoveChild(TControl* child);
  void ReleaseWindow();

  HWND handle_ = nullptr;
  TControl* parent_ = nullptr;
  std::vector<TControl*> children_;  // owned; freed with this control
  DWORD style_ = 0;
  DWORD exStyle_ = 0;
  std::string caption_;
  RECT bounds_{0, 0, 64, 64};
  bool visible_ = false;
  bool enabled_ = true;
  std::uint8_t align_ = AlignNone;
  std::uint32_t color_ = ColorBtnFace;
  TObjPtr<TGraphicTool> font_;
  TObjPtr<TGraphicTool> brush_;
  HICON icon_ = nullptr;
  TIconHandle ownedIcon_;
  std::uint8_t alpha_ = 255;
  bool autoSize_ = false;
  bool destroying_ = false;
  bool inDestructor_ = false;  // the object is being deleted: no more holds
  bool mouseInside_ = false;
  bool aligning_ = false;
  int restoreShow_ = 0;   // show command to restore after the parent was minimised; 0 none
  HWND comboEdit_ = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Constructors. Each returns the new control, owned by its parent (a parentless control is owned
// by the caller: free it with Free or keep it in a TObjPtr).

// The hidden application window that owns the taskbar button ("App", style 0x90CA0000,
// WS_EX_APPWINDOW), placed outside every screen so that it is never seen. Becomes AppWindow
// when none is set yet.
TControl* CreateAppWindow(std::string_view caption);
// A form ("Form", CS_DBLCLKS) under parent (the application window, or null).
TControl* CreateForm(TControl* parent, std::string_view caption);
// A standard control of the platform class className with the given style; frame = sunken edge
// instead of WS_BORDER. commands may be null.
TControl* CreateStandardControl(TControl* parent, std::string_view className, DWORD style, bool frame,
                                const TCommandTable* commands);

// Edit box options (bit i selects entry i of the option table).
enum : std::uint32_t {
  EditNoHScroll = 1u << 0, EditNoVScroll = 1u << 1, EditLowerCase = 1u << 2, EditMultiline = 1u << 3,
  EditNoHideSel = 1u << 4, EditOemConvert = 1u << 5, EditPassword = 1u << 6, EditReadonly = 1u << 7,
  EditUpperCase = 1u << 8, EditWantReturn = 1u << 9, EditWantTab = 1u << 10, EditNumber = 1u << 11,
};
// Combo box options.
enum : std::uint32_t {
  ComboDropDownList = 1u << 0, ComboNoHScroll = 1u << 1, ComboDisableNoScroll = 1u << 2,
  ComboLowerCase = 1u << 3, ComboNoIntegralHeight = 1u << 4, ComboOemConvert = 1u << 5, ComboSort = 1u << 6,
  ComboUpperCase = 1u << 7, ComboOwnerDrawFixed = 1u << 8, ComboOwnerDrawVariable = 1u << 9, ComboSimple = 1u << 10,
};
// The style an option set gives (exposed for tests of the option tables).
DWORD EditStyleFor(std::uint32_t options);
DWORD ComboStyleFor(std::uint32_t options);

TControl* CreateEditBox(TControl* parent, std::uint32_t options);
TControl* CreateComboBox(TControl* parent, std::uint32_t options);
// STATIC with style 0x5000018C (child, visible, notify, no prefix, left without word wrap).
TControl* CreateLabel(TControl* parent, std::string_view caption);
// BUTTON, a push button that is a tab stop.
TControl* CreateButton(TControl* parent, std::string_view caption);

// True once CreateAppWindow has run in this process.
bool AppWindowExists();

// Carries out the deferred frees still waiting in the queue, and nothing else of it: for when
// the message loop has ended and no pump will reach them.
void RunDeferredFrees();

// The next control identifier that CreateStandardControl will hand out.
std::uint16_t NextControlId();

}  // namespace fliran
