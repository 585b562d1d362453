// TControl: life of the object, window creation and binding, style, geometry, alignment,
// appearance and texts.
#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "toolkit/control.h"
#include "toolkit/control_internal.h"

namespace fliran {

namespace {

// Set once a control applies an alignment; until then laying out children does nothing.
bool gAlignmentInstalled = false;

// The platform class procedure behind every "obj_" class this program registered.
std::map<WideString, WNDPROC>& SuperclassBases() {
  static std::map<WideString, WNDPROC> bases;
  return bases;
}

WideString Wide(std::string_view text) { return Cp1251ToWide(text); }

HWND gFocusedWindow = nullptr;

std::unordered_map<HWND, TControl*>& Bindings() {
  static std::unordered_map<HWND, TControl*> bindings;
  return bindings;
}

}  // namespace

void BindWindow(HWND wnd, TControl* control) {
  SetPropW(wnd, SelfProperty, static_cast<HANDLE>(control));
  Bindings()[wnd] = control;
}

void UnbindWindow(HWND wnd) {
  RemovePropW(wnd, SelfProperty);
  ForgetWindow(wnd);
}

void ForgetWindow(HWND wnd) {
  Bindings().erase(wnd);
  if (gFocusedWindow == wnd) gFocusedWindow = nullptr;
}

void FollowFocus(HWND wnd, UINT message) {
  if (message == WM_SETFOCUS) gFocusedWindow = wnd;
  if (message == WM_KILLFOCUS && gFocusedWindow == wnd) gFocusedWindow = nullptr;
}

HWND FocusedWindow() { return gFocusedWindow; }

TControl* BoundControl(HWND wnd) {
  const auto& bindings = Bindings();
  const auto it = bindings.find(wnd);
  return it != bindings.end() ? it->second : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Life of the object.

TControl::TControl(TControl* parent, std::string className)
    : ClassName(std::move(className)),
      font_(MakeObj<TGraphicTool>(TGraphicTool::Kind::Font)),
      brush_(MakeObj<TGraphicTool>(TGraphicTool::Kind::Brush)) {
  font_->SetColor(ColorWindowText);
  brush_->SetColor(color_);
  if (parent != nullptr) AttachParent(parent);
  font_->ChangeEvent = MakeMethod<&TControl::FontChanged>(this);
  brush_->ChangeEvent = MakeMethod<&TControl::BrushChanged>(this);
}

void TControl::AttachParent(TControl* parent) {
  parent_ = parent;
  parent->children_.push_back(this);
  color_ = parent->color_;
  brush_->Assign(*parent->brush_);
  font_->Assign(*parent->font_);
  NavigationProc = parent->NavigationProc;
  Ctl3DChild = parent->Ctl3DChild;
  bounds_ = RECT{0, 0, 64, 64};
}

namespace {

bool IsSameOrBelow(const TControl* c, const TControl* root) {
  for (; c != nullptr; c = c->Parent()) {
    if (c == root) return true;
  }
  return false;
}

void Forget(TControl*& remembered, const TControl* gone) {
  if (remembered != nullptr && IsSameOrBelow(remembered, gone)) remembered = nullptr;
}

// Nothing above gone may keep pointing to it or to a control below it: forms remember their
// focused control and their buttons, the application window the form that had the focus. At
// shutdown the application window is no longer AppWindow when its forms go, hence the walk over
// the parents as well.
void ForgetRemembered(const TControl* gone) {
  for (TControl* above = gone->Parent(); above != nullptr; above = above->Parent()) {
    Forget(above->FocusedControl, gone);
    Forget(above->DefaultButton, gone);
    Forget(above->CancelButton, gone);
  }
  if (AppWindow != nullptr && AppWindow != gone) Forget(AppWindow->FocusedControl, gone);
}

}  // namespace

TControl::~TControl() {
  inDestructor_ = true;
  destroying_ = true;
  // Forgotten before anything goes: the children are freed with their parent link cut (a held
  // child outlives this object), so they cannot reach the controls above on their own; and
  // destroying windows moves the focus, whose handlers read these pointers.
  ForgetRemembered(this);
  FocusedControl = nullptr;
  DefaultButton = nullptr;
  CancelButton = nullptr;
  // Children first: each frees its own window before this window goes.
  while (!children_.empty()) {
    TControl* child = children_.back();
    children_.pop_back();
    child->parent_ = nullptr;
    child->Free();
  }
  if (CreatingControl == this) CreatingControl = nullptr;
  ReleaseWindow();
  // Destroying the window may have moved the focus and with it a remembered pointer here.
  ForgetRemembered(this);
  if (IsAppWindow()) --AppWindowCount;
  if (AppWindow == this) AppWindow = nullptr;
  if (parent_ != nullptr) parent_->RemoveChild(this);
}

void TControl::ReleaseWindow() {
  if (handle_ == nullptr) return;
  // WM_NCDESTROY sees the destroying flag and only unbinds the window.
  DestroyWindow(handle_);
  if (handle_ != nullptr) {
    UnbindWindow(handle_);
    handle_ = nullptr;
  }
}

void TControl::RemoveChild(TControl* child) {
  const auto it = std::find(children_.begin(), children_.end(), child);
  if (it != children_.end()) children_.erase(it);
}

TControl* TControl::Child(std::int32_t i) const {
  if (i < 0 || i >= ChildCount()) return nullptr;
  return children_[static_cast<std::size_t>(i)];
}

TControl* TControl::FromHandle(HWND wnd) {
  if (wnd == nullptr) return nullptr;
  return BoundControl(wnd);
}

TControl* TControl::ParentForm() {
  TControl* c = this;
  while (c != nullptr) {
    if (c->IsForm() || c->parent_ == nullptr) return c;
    c = c->parent_;
  }
  return nullptr;
}

bool TControl::IsMainWindow() const {
  if (CommonControl) return false;
  if (parent_ == nullptr) return AppWindow == this || !AppWindowExists();
  return parent_->parent_ == nullptr && !parent_->children_.empty() && parent_->children_.front() == this;
}

// ---------------------------------------------------------------------------------------------
// Window creation.

bool TControl::RegisterSuperclass(WideString& registeredName) {
  const WideString base = Wide(ClassName);
  registeredName = L"obj_" + base;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  auto& bases = SuperclassBases();
  if (const auto it = bases.find(registeredName); it != bases.end()) {
    BaseProc = it->second;
    return true;
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(nullptr, base.c_str(), &wc) == FALSE && GetClassInfoExW(instance, base.c_str(), &wc) == FALSE) {
    // Not a platform class ("Form", "App"): a plain window class.
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  }
  const WNDPROC baseProc = wc.lpfnWndProc;
  wc.style &= ~static_cast<UINT>(CS_OWNDC | CS_CLASSDC | CS_PARENTDC | CS_GLOBALCLASS);
  wc.style |= ClassStyle;
  wc.lpfnWndProc = &ToolkitWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = registeredName.c_str();
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  bases[registeredName] = baseProc;
  BaseProc = baseProc;
  return true;
}

bool TControl::CreateControlWindow() {
  if (parent_ != nullptr && parent_->handle_ == nullptr && !parent_->CreateControlWindow()) return false;
  if (handle_ != nullptr) {
    // Re-apply a visibility the program asked for; a window on its way out is never shown again.
    if (!destroying_ && visible_ != ((GetWindowLongPtrW(handle_, GWL_STYLE) & WS_VISIBLE) != 0)) SetVisible(visible_);
    return true;
  }
  if (destroying_) return false;

  DWORD style = (style_ & ~static_cast<DWORD>(WS_VISIBLE)) | (visible_ ? WS_VISIBLE : 0);
  if (!enabled_) style |= WS_DISABLED;
  int x = bounds_.left;
  int y = bounds_.top;
  int w = bounds_.right - bounds_.left;
  int h = bounds_.bottom - bounds_.top;
  if (w == 0) w = CW_USEDEFAULT;
  if (h == 0) h = CW_USEDEFAULT;
  if (!CommonControl && !PlacedExplicitly) x = y = CW_USEDEFAULT;

  WideString className;
  if (PlainClass) {
    className = Wide(ClassName);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(nullptr, className.c_str(), &wc) != FALSE) BaseProc = wc.lpfnWndProc;
  } else if (!RegisterSuperclass(className)) {
    return false;
  }

  HWND parentWnd = parent_ != nullptr ? parent_->handle_ : nullptr;
  if ((style & WS_CHILD) != 0 && parentWnd == nullptr) return false;
  HMENU menu = (style & WS_CHILD) != 0 ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(ControlId)) : nullptr;

  CreatingControl = this;
  HWND wnd = CreateWindowExW(exStyle_, className.c_str(), Wide(caption_).c_str(), style, x, y, w, h, parentWnd, menu,
                             GetModuleHandleW(nullptr), nullptr);
  if (wnd == nullptr) {
    if (CreatingControl == this) CreatingControl = nullptr;
    handle_ = nullptr;
    return false;
  }
  if (PlainClass) {
    // A plain class keeps its own procedure; the toolkit subclasses the window once it exists.
    BaseProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ToolkitWindowProc)));
  }
  SendMessageW(wnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
  if (BoundControl(wnd) == nullptr) {
    if (CreatingControl == this) CreatingControl = nullptr;
    handle_ = wnd;
    BindWindow(wnd, this);
  }

  if (!CommonControl) {
    HICON icon = icon_;
    if (icon == nullptr && AppWindow != nullptr) icon = AppWindow->icon_;
    if (icon == nullptr) icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
    if (icon != nullptr) SendMessageW(wnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  }
  if (alpha_ != 255) {
    const std::uint8_t alpha = alpha_;
    alpha_ = 255;
    SetWindowAlpha(alpha);
  }
  if (AfterCreateHook) AfterCreateHook(this);
  if (ProgramAfterCreate != nullptr) ProgramAfterCreate(this);
  if (handle_ == nullptr) return false;  // a hook destroyed the window
  ApplyFont();
  AdjustAutoSize();
  if (visible_ != ((GetWindowLongPtrW(handle_, GWL_STYLE) & WS_VISIBLE) != 0)) SetVisible(visible_);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Style and geometry.

DWORD TControl::Style() const {
  if (handle_ != nullptr) return static_cast<DWORD>(GetWindowLongPtrW(handle_, GWL_STYLE));
  return (style_ & ~static_cast<DWORD>(WS_VISIBLE)) | (visible_ ? WS_VISIBLE : 0);
}

DWORD TControl::ExStyle() const {
  if (handle_ != nullptr) return static_cast<DWORD>(GetWindowLongPtrW(handle_, GWL_EXSTYLE));
  return exStyle_;
}

void TControl::SetStyle(DWORD style) {
  if (handle_ == nullptr) {
    style_ = style;
    visible_ = (style & WS_VISIBLE) != 0;
    return;
  }
  // Visibility stays with the show operation.
  const DWORD current = Style();
  style = (style & ~static_cast<DWORD>(WS_VISIBLE)) | (current & WS_VISIBLE);
  style_ = style;
  if (style == current) return;
  SetWindowLongPtrW(handle_, GWL_STYLE, static_cast<LONG_PTR>(style));
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  AdjustAutoSize();  // the border may have changed
  Invalidate();
}

void TControl::BringToFront() {
  if (!CreateControlWindow()) return;
  SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TControl::SetExStyle(DWORD exStyle) {
  exStyle_ = exStyle;
  if (handle_ == nullptr) return;
  if (exStyle == ExStyle()) return;
  SetWindowLongPtrW(handle_, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  AdjustAutoSize();  // the edge may have changed
}

RECT TControl::BoundsRect() const {
  if (handle_ == nullptr) return bounds_;
  RECT r{};
  GetWindowRect(handle_, &r);
  if ((GetWindowLongPtrW(handle_, GWL_STYLE) & WS_CHILD) != 0) {
    if (HWND parentWnd = GetParent(handle_); parentWnd != nullptr) {
      MapWindowPoints(nullptr, parentWnd, reinterpret_cast<POINT*>(&r), 2);
    }
  }
  return r;
}

void TControl::SetBoundsRect(const RECT& bounds) {
  PlacedExplicitly = true;
  bounds_ = bounds;
  if (handle_ == nullptr) return;
  const RECT current = BoundsRect();
  if (EqualRect(&current, &bounds) != FALSE) return;
  SetWindowPos(handle_, nullptr, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TControl::SetPosition(int left, int top) {
  RECT r = BoundsRect();
  OffsetRect(&r, left - r.left, top - r.top);
  SetBoundsRect(r);
}

void TControl::SetSize(int width, int height) {
  RECT r = BoundsRect();
  r.right = r.left + width;
  r.bottom = r.top + height;
  SetBoundsRect(r);
}

int TControl::Width() const {
  const RECT r = BoundsRect();
  return r.right - r.left;
}

int TControl::Height() const {
  const RECT r = BoundsRect();
  return r.bottom - r.top;
}

RECT TControl::ClientRect() const {
  RECT r{};
  if (handle_ != nullptr) {
    GetClientRect(handle_, &r);
  } else {
    r.right = bounds_.right - bounds_.left;
    r.bottom = bounds_.bottom - bounds_.top;
  }
  return r;
}

void TControl::SetAlign(std::uint8_t align) {
  gAlignmentInstalled = true;
  if (align == align_) return;
  align_ = align;
  if (parent_ != nullptr) parent_->AlignChildren();
}

void TControl::AlignChildren() {
  if (!gAlignmentInstalled || handle_ == nullptr || aligning_) return;
  aligning_ = true;
  RECT area = ClientRect();
  const int m = Margin;
  auto place = [](TControl* child, RECT r) {
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    const RECT current = child->BoundsRect();
    if (EqualRect(&current, &r) == FALSE) child->SetBoundsRect(r);
  };
  // Three passes in creation order: top and bottom, then left and right, then client.
  for (int pass = 0; pass < 3; ++pass) {
    for (std::size_t i = 0; i < children_.size(); ++i) {
      TControl* child = children_[i];
      const std::uint8_t a = child->align_;
      const bool inPass = (pass == 0 && (a == AlignTop || a == AlignBottom)) ||
                          (pass == 1 && (a == AlignLeft || a == AlignRight)) || (pass == 2 && a == AlignClient);
      if (!inPass || !child->Visible()) continue;
      const int w = child->Width();
      const int h = child->Height();
      RECT r{};
      switch (a) {
        case AlignTop:
          r = RECT{area.left + m, area.top + m, area.right - m, area.top + m + h};
          area.top += m + h;
          break;
        case AlignBottom:
          r = RECT{area.left + m, area.bottom - m - h, area.right - m, area.bottom - m};
          area.bottom -= m + h;
          break;
        case AlignLeft:
          r = RECT{area.left + m, area.top + m, area.left + m + w, area.bottom - m};
          area.left += m + w;
          break;
        case AlignRight:
          r = RECT{area.right - m - w, area.top + m, area.right - m, area.bottom - m};
          area.right -= m + w;
          break;
        default:
          r = RECT{area.left + m, area.top + m, area.right - m, area.bottom - m};
          break;
      }
      place(child, r);
    }
  }
  aligning_ = false;
}

// ---------------------------------------------------------------------------------------------
// Visibility, focus and painting.

bool TControl::Visible() const {
  if (handle_ == nullptr) return visible_;
  return (GetWindowLongPtrW(handle_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void TControl::SetVisible(bool visible) {
  visible_ = visible;
  if (handle_ != nullptr) ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
}

bool TControl::Enabled() const {
  if (handle_ == nullptr) return enabled_;
  return IsWindowEnabled(handle_) != FALSE;
}

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (handle_ != nullptr) EnableWindow(handle_, enabled ? TRUE : FALSE);
}

void TControl::Focus() {
  if (!CreateControlWindow()) return;
  SetFocus(handle_);
}

bool TControl::Focused() const {
  if (handle_ == nullptr) return false;
  HWND focus = FocusedWindow();
  return focus == handle_ || (comboEdit_ != nullptr && focus == comboEdit_);
}

bool TControl::CanFocus() const { return handle_ != nullptr && IsWindowEnabled(handle_) != FALSE; }

void TControl::Invalidate() {
  if (handle_ != nullptr) InvalidateRect(handle_, nullptr, TRUE);
}

// ---------------------------------------------------------------------------------------------
// Appearance.

void TControl::SetColor(std::uint32_t color) {
  color_ = color;
  Coloured = true;
  brush_->SetColor(color);
  Invalidate();
}

std::uint32_t TControl::TextColor() const { return font_->Color(); }

void TControl::SetTextColor(std::uint32_t color) { font_->SetColor(color); }

HBRUSH TControl::BrushHandle() {
  if (parent_ != nullptr && parent_->brush_->Color() == brush_->Color()) return parent_->BrushHandle();
  return brush_->BrushHandle();
}

void TControl::FontChanged(TGraphicTool*) {
  ApplyFont();
  AdjustAutoSize();
  Invalidate();
}

void TControl::BrushChanged(TGraphicTool*) { Invalidate(); }

void TControl::ApplyFont() {
  if (handle_ == nullptr) return;
  SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_->FontHandle()), TRUE);
}

void TControl::SetIcon(HICON icon, bool owned) {
  TIconHandle previous = std::move(ownedIcon_);
  if (previous.get() == icon) previous.release();  // the same icon: keep it alive
  icon_ = icon;
  if (owned) ownedIcon_.reset(icon);
  if (handle_ != nullptr && !CommonControl) SendMessageW(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}

void TControl::SetWindowAlpha(std::uint8_t alpha) {
  if (alpha == alpha_) return;
  alpha_ = alpha;
  if (handle_ == nullptr) return;  // applied when the window is made
  using TSetLayered = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
  HMODULE user = GetModuleHandleW(L"User32");
  if (user == nullptr) return;
  const auto setLayered = reinterpret_cast<TSetLayered>(
      reinterpret_cast<void*>(GetProcAddress(user, "SetLayeredWindowAttributes")));
  if (setLayered == nullptr) return;
  if (alpha < 255) {
    AddExStyle(WS_EX_LAYERED);
    setLayered(handle_, 0, alpha, LWA_ALPHA);
  } else {
    RemoveExStyle(WS_EX_LAYERED);
  }
}

void TControl::SetTextAlign(int align) {
  if (Commands.AlignMask == 0) return;
  const DWORD bits = align == 1 ? Commands.AlignRight : align == 2 ? Commands.AlignCenter : Commands.AlignLeft;
  SetStyle((Style() & ~Commands.AlignMask) | bits);
}

void TControl::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  AdjustAutoSize();
}

void TControl::AdjustAutoSize() {
  if (!autoSize_ || handle_ == nullptr) return;
  const WideString text = Wide(GetText());
  HDC dc = GetDC(handle_);
  HGDIOBJ old = SelectObject(dc, font_->Handle());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(handle_, dc);
  // The text fills the client area; the window is larger by its border, or the border would
  // take the text's last pixels.
  RECT window{};
  RECT client{};
  GetWindowRect(handle_, &window);
  GetClientRect(handle_, &client);
  const int frameWidth = (window.right - window.left) - client.right;
  const int frameHeight = (window.bottom - window.top) - client.bottom;
  SetSize(r.right - r.left + frameWidth, r.bottom - r.top + frameHeight);
}

// ---------------------------------------------------------------------------------------------
// Texts.

std::string TControl::GetText() const {
  if (handle_ == nullptr) return caption_;
  const int length = GetWindowTextLengthW(handle_);
  if (length <= 0) return {};
  WideString text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(handle_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::clamp(got, 0, length)));
  return WideToCp1251(text);
}

void TControl::SetText(std::string_view text) {
  caption_ = std::string(text);
  if (handle_ == nullptr) return;
  SetWindowTextW(handle_, Wide(text).c_str());
  AdjustAutoSize();
}

// ---------------------------------------------------------------------------------------------
// Hooks.

void TControl::AttachHook(TMessageHook hook) {
  if (std::find(MessageHooks.begin(), MessageHooks.end(), hook) == MessageHooks.end()) MessageHooks.push_back(hook);
}

void TControl::DetachHook(TMessageHook hook) {
  const auto it = std::find(MessageHooks.begin(), MessageHooks.end(), hook);
  if (it != MessageHooks.end()) MessageHooks.erase(it);
}

TNavigationProc TControl::EffectiveNavigationProc() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_) {
    if (c->NavigationProc != nullptr) return c->NavigationProc;
  }
  return nullptr;
}

}  // namespace fliran
