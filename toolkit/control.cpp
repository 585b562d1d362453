// TControl: construction, window creation and binding, properties, texts and item operations,
// and the constructors of the control kinds.
#include <algorithm>
#include <map>
#include <string>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "toolkit/control.h"
#include "toolkit/control_internal.h"

namespace fliran {

namespace {

std::uint16_t gNextControlId = FirstControlId;
// Counts the application windows alive (the main-window rule asks whether one exists).
int gAppWindows = 0;
// Set once a control applies an alignment; until then laying out children does nothing.
bool gAlignmentInstalled = false;

// The platform class procedure behind every "obj_" class this program registered.
std::map<std::wstring, WNDPROC>& SuperclassBases() {
  static std::map<std::wstring, WNDPROC> bases;
  return bases;
}

// Every control is made here: a control with a parent is owned by it (freed with it), a
// parentless one by the caller.
TControl* NewControl(TControl* parent, std::string className) { return new TControl(parent, std::move(className)); }

std::wstring Wide(std::string_view text) { return Cp1251ToWide(text); }

}  // namespace

bool AppWindowExists() { return gAppWindows > 0; }

std::uint16_t NextControlId() { return gNextControlId; }

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

TControl::~TControl() {
  inDestructor_ = true;
  destroying_ = true;
  // Children first: each frees its own window before this window goes.
  while (!children_.empty()) {
    TControl* child = children_.back();
    children_.pop_back();
    child->parent_ = nullptr;
    child->Free();
  }
  // Nothing above may keep pointing here: the form remembers its focused control and its
  // buttons, the application window the form that had the focus. The application window is
  // the form's parent, and at shutdown it is no longer AppWindow when its forms go.
  for (TControl* above = parent_; above != nullptr; above = above->parent_) {
    if (above->FocusedControl == this) above->FocusedControl = nullptr;
    if (above->DefaultButton == this) above->DefaultButton = nullptr;
    if (above->CancelButton == this) above->CancelButton = nullptr;
  }
  if (AppWindow != nullptr && AppWindow != this && AppWindow->FocusedControl == this) AppWindow->FocusedControl = nullptr;
  if (CreatingControl == this) CreatingControl = nullptr;
  ReleaseWindow();
  if (IsAppWindow()) --gAppWindows;
  if (AppWindow == this) AppWindow = nullptr;
  if (parent_ != nullptr) parent_->RemoveChild(this);
}

void TControl::ReleaseWindow() {
  if (handle_ == nullptr) return;
  // WM_NCDESTROY sees the destroying flag and only unbinds the window.
  DestroyWindow(handle_);
  if (handle_ != nullptr) {
    RemovePropW(handle_, SelfProperty);
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
  return static_cast<TControl*>(GetPropW(wnd, SelfProperty));
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

bool TControl::RegisterSuperclass(std::wstring& registeredName) {
  const std::wstring base = Wide(ClassName);
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

  std::wstring className;
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
  if (GetPropW(wnd, SelfProperty) == nullptr) {
    if (CreatingControl == this) CreatingControl = nullptr;
    handle_ = wnd;
    SetPropW(wnd, SelfProperty, static_cast<HANDLE>(this));
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
  Invalidate();
}

void TControl::SetExStyle(DWORD exStyle) {
  exStyle_ = exStyle;
  if (handle_ == nullptr) return;
  if (exStyle == ExStyle()) return;
  SetWindowLongPtrW(handle_, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
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
  HWND focus = GetFocus();
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
  const std::wstring text = Wide(GetText());
  HDC dc = GetDC(handle_);
  HGDIOBJ old = SelectObject(dc, font_->Handle());
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(handle_, dc);
  SetSize(r.right - r.left, r.bottom - r.top);
}

// ---------------------------------------------------------------------------------------------
// Texts.

std::string TControl::GetText() const {
  if (handle_ == nullptr) return caption_;
  const int length = GetWindowTextLengthW(handle_);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
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
// Item operations.

LRESULT TControl::SendToControl(UINT message, WPARAM first, LPARAM second) {
  if (!CreateControlWindow()) return 0;
  return SendMessageW(handle_, message, first, second);
}

namespace {

std::int32_t ToInt32(LRESULT value) { return static_cast<std::int32_t>(value); }

LPARAM TextParam(const std::wstring& text) { return reinterpret_cast<LPARAM>(text.c_str()); }

}  // namespace

std::int32_t TControl::ItemCount() {
  if (Commands.ItemCount == 0) return 0;
  return ToInt32(SendToControl(Commands.ItemCount, 0, 0));
}

std::string TControl::GetItemText(std::int32_t i) {
  if (Commands.GetItemText == 0 || i < 0 || i >= ItemCount()) return {};
  std::int32_t length = 0;
  if (Commands.ItemTextLength != 0) {
    // The edit control measures a line by a character position in it, the combo box by index.
    length = ToInt32(SendToControl(Commands.ItemTextLength, static_cast<WPARAM>(LineStart(i)), 0));
  }
  if (length <= 0) return {};
  std::wstring buffer(static_cast<std::size_t>(length) + 1, L'\0');
  if (Commands.GetItemText == EM_GETLINE) buffer[0] = static_cast<wchar_t>(std::min<std::int32_t>(length, 0xFFFF));
  const std::int32_t got =
      ToInt32(SendToControl(Commands.GetItemText, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data())));
  buffer.resize(static_cast<std::size_t>(std::clamp(got, 0, length)));
  return WideToCp1251(buffer);
}

void TControl::SetItemText(std::int32_t i, std::string_view text) {
  const std::int32_t count = ItemCount();
  if (i < 0 || i >= count) return;
  const std::wstring wide = Wide(text);
  if (Commands.SetItemText != 0) {
    const std::int32_t start = LineStart(i);
    const std::int32_t end = i + 1 < count ? LineStart(i + 1) : GetWindowTextLengthW(handle_);
    if (Commands.SetSelection != 0) SendToControl(Commands.SetSelection, static_cast<WPARAM>(start), end);
    SendToControl(Commands.SetItemText, FALSE, TextParam(wide));
  } else if (Commands.DeleteItem != 0 && Commands.InsertItemText != 0) {
    const std::int32_t current = CurrentIndex();
    const std::int32_t value = GetItemValue(i);
    DeleteItem(i);
    InsertItemText(i, text);
    SetItemValue(i, value);
    SetCurrentIndex(current);
  }
}

std::int32_t TControl::AddItemText(std::string_view text) {
  if (Commands.AddItemText != 0) return ToInt32(SendToControl(Commands.AddItemText, 0, TextParam(Wide(text))));
  if (Commands.Add != nullptr) return Commands.Add(this, text);
  if (!CreateControlWindow()) return -1;
  if (Commands.SetSelection != 0 && Commands.SetItemText == EM_REPLACESEL) {
    // Appending through the selection keeps the caret at the new end and scrolls to it.
    const int length = GetWindowTextLengthW(handle_);
    SendToControl(Commands.SetSelection, static_cast<WPARAM>(length), length);
    SendToControl(EM_REPLACESEL, FALSE, TextParam(Wide(text)));
  } else {
    SetText(GetText() + std::string(text));
  }
  return ItemCount() - 1;
}

std::int32_t TControl::InsertItemText(std::int32_t i, std::string_view text) {
  if (Commands.InsertItemText == 0) return -1;
  return ToInt32(SendToControl(Commands.InsertItemText, static_cast<WPARAM>(i), TextParam(Wide(text))));
}

void TControl::DeleteItem(std::int32_t i) {
  if (Commands.DeleteItem != 0) SendToControl(Commands.DeleteItem, static_cast<WPARAM>(i), 0);
}

void TControl::ClearItems() {
  if (Commands.Clear != nullptr) Commands.Clear(this);
}

std::int32_t TControl::FindItem(std::string_view text, bool exact) {
  const UINT message = exact ? Commands.FindExact : Commands.FindPrefix;
  if (message == 0) return -1;
  return ToInt32(SendToControl(message, static_cast<WPARAM>(-1), TextParam(Wide(text))));
}

std::int32_t TControl::CurrentIndex() {
  if (Commands.GetCurrentIndex == 0) return -1;
  // -1 asks the edit control for the line of the caret; the combo box ignores the parameter.
  return ToInt32(SendToControl(Commands.GetCurrentIndex, static_cast<WPARAM>(-1), 0));
}

void TControl::SetCurrentIndex(std::int32_t i) {
  if (Commands.SetCurrentIndex != 0) SendToControl(Commands.SetCurrentIndex, static_cast<WPARAM>(i), 0);
}

std::int32_t TControl::GetItemValue(std::int32_t i) {
  if (Commands.GetItemValue == 0) return 0;
  return ToInt32(SendToControl(Commands.GetItemValue, static_cast<WPARAM>(i), 0));
}

void TControl::SetItemValue(std::int32_t i, std::int32_t value) {
  if (Commands.SetItemValue != 0) SendToControl(Commands.SetItemValue, static_cast<WPARAM>(i), static_cast<LPARAM>(value));
}

std::int32_t TControl::LineStart(std::int32_t i) {
  if (Commands.GetCurrentIndex != EM_LINEINDEX) return i;
  const std::int32_t start = ToInt32(SendToControl(EM_LINEINDEX, static_cast<WPARAM>(i), 0));
  return start < 0 ? 0 : start;
}

std::int32_t TControl::SelStart() {
  if (Commands.GetSelection == 0) return 0;
  DWORD start = 0;
  DWORD end = 0;
  SendToControl(Commands.GetSelection, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<std::int32_t>(start);
}

std::int32_t TControl::SelLength() {
  if (Commands.GetSelection == 0) return 0;
  DWORD start = 0;
  DWORD end = 0;
  SendToControl(Commands.GetSelection, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<std::int32_t>(end - start);
}

void TControl::SetSelStart(std::int32_t start) {
  if (Commands.SetSelection != 0) SendToControl(Commands.SetSelection, static_cast<WPARAM>(start), start);
}

void TControl::SetSelLength(std::int32_t length) {
  if (Commands.SetSelection == 0) return;
  const std::int32_t start = SelStart();
  SendToControl(Commands.SetSelection, static_cast<WPARAM>(start), length < 0 ? -1 : start + length);
}

void TControl::SetTextLimit(std::int32_t limit) {
  if (Commands.TextLimit != 0) SendToControl(Commands.TextLimit, static_cast<WPARAM>(limit), 0);
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

// ---------------------------------------------------------------------------------------------
// Constructors.

TControl* CreateAppWindow(std::string_view caption) {
  TControl* app = NewControl(nullptr, "App");
  TControlAccess::Style(app) = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // 0x90CA0000
  TControlAccess::Visible(app) = true;
  TControlAccess::ExStyle(app) = WS_EX_APPWINDOW;
  TControlAccess::Caption(app) = std::string(caption);
  app->AfterCreateHook = MakeProc<&AppWindowAfterCreate>();
  app->AttachHook(MakeProc<&AppWindowHook>());
  ++gAppWindows;
  if (AppWindow == nullptr) AppWindow = app;
  return app;
}

TControl* CreateForm(TControl* parent, std::string_view caption) {
  TControl* form = NewControl(parent, "Form");
  form->ClassStyle |= CS_DBLCLKS;
  TControlAccess::Style(form) = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
  TControlAccess::Visible(form) = true;
  TControlAccess::Caption(form) = std::string(caption);
  form->AttachHook(MakeProc<&FormHook>());
  return form;
}

TControl* CreateStandardControl(TControl* parent, std::string_view className, DWORD style, bool frame,
                                const TCommandTable* commands) {
  TControl* c = NewControl(parent, std::string(className));
  if (commands != nullptr) c->Commands = *commands;
  c->CommonControl = true;
  c->PlacedExplicitly = true;
  style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  DWORD exStyle = 0;
  c->TabStop = (style & WS_TABSTOP) != 0;
  TControl* form = parent != nullptr ? parent->ParentForm() : nullptr;
  if (form != nullptr) c->TabOrder = ++form->ControlCounter;
  if (frame) {
    style &= ~static_cast<DWORD>(WS_BORDER);
    exStyle |= WS_EX_CLIENTEDGE;
  }
  TControlAccess::Style(c) = style;
  TControlAccess::Visible(c) = (style & WS_VISIBLE) != 0;
  TControlAccess::ExStyle(c) = exStyle;
  if (c->TabStop && form != nullptr && form->FocusedControl == nullptr) form->FocusedControl = c;
  c->ControlId = gNextControlId++;
  c->NavigationKeys = NavigateTab | NavigateLeftRight | NavigateUpDown | NavigatePages;
  c->AttachHook(MakeProc<&CommonControlHook>());
  return c;
}

namespace {

// Option tables: a non-negative entry adds its style when the option is chosen; a negative entry
// is the complement of a style that is present unless the option is chosen.
DWORD StyleFromOptions(std::uint32_t options, const std::int64_t* table, int entries) {
  DWORD style = 0;
  for (int i = 0; i < entries; ++i) {
    if (table[i] < 0) style |= static_cast<DWORD>(~table[i]);
  }
  for (int i = 0; i < entries; ++i) {
    if ((options & (1u << i)) == 0) continue;
    if (table[i] < 0) {
      style &= static_cast<DWORD>(table[i]);
    } else {
      style |= static_cast<DWORD>(table[i]);
    }
  }
  return style;
}

constexpr std::int64_t Complement(DWORD style) { return ~static_cast<std::int64_t>(style); }

constexpr std::int64_t EditOptionTable[] = {
    Complement(WS_HSCROLL | ES_AUTOHSCROLL), Complement(WS_VSCROLL | ES_AUTOVSCROLL),
    ES_LOWERCASE, ES_MULTILINE, ES_NOHIDESEL, ES_OEMCONVERT, ES_PASSWORD, ES_READONLY,
    ES_UPPERCASE, ES_WANTRETURN, 0 /* want tab: no style */, ES_NUMBER,
};

constexpr std::int64_t ComboOptionTable[] = {
    CBS_DROPDOWNLIST, Complement(CBS_AUTOHSCROLL), CBS_DISABLENOSCROLL, CBS_LOWERCASE, CBS_NOINTEGRALHEIGHT,
    CBS_OEMCONVERT, CBS_SORT, CBS_UPPERCASE, CBS_OWNERDRAWFIXED, CBS_OWNERDRAWVARIABLE, CBS_SIMPLE,
};

}  // namespace

DWORD EditStyleFor(std::uint32_t options) {
  DWORD style = StyleFromOptions(options, EditOptionTable, 12);
  style |= WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP;  // 0x50810000
  if ((options & EditMultiline) == 0) style &= ~static_cast<DWORD>(WS_HSCROLL | WS_VSCROLL);
  return style;
}

DWORD ComboStyleFor(std::uint32_t options) {
  DWORD style = StyleFromOptions(options, ComboOptionTable, 11);
  if ((options & (ComboDropDownList | ComboSimple)) == 0) style |= CBS_DROPDOWN;
  style |= WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_HASSTRINGS;  // 0x50210200
  return style;
}

TControl* CreateEditBox(TControl* parent, std::uint32_t options) {
  TControl* edit = CreateStandardControl(parent, "EDIT", EditStyleFor(options), false, &EditCommands);
  const bool multiline = (options & EditMultiline) != 0;
  TControlAccess::Bounds(edit) = multiline ? RECT{0, 0, 200, 222} : RECT{0, 0, 100, 22};
  edit->NavigationKeys = multiline ? NavigateTab : NavigateTab | NavigateUpDown | NavigatePages;
  if ((options & EditWantTab) != 0) edit->NavigationKeys &= static_cast<std::uint8_t>(~NavigateTab);
  return edit;
}

TControl* CreateComboBox(TControl* parent, std::uint32_t options) {
  TControl* combo = CreateStandardControl(parent, "COMBOBOX", ComboStyleFor(options), false, &ComboBoxCommands);
  combo->ClassStyle |= CS_DBLCLKS;
  TControlAccess::Bounds(combo) = RECT{0, 0, 100, 22};
  combo->NavigationKeys = (options & ComboDropDownList) != 0 ? NavigateTab | NavigateLeftRight : NavigateTab;
  combo->Coloured = false;
  combo->AfterCreateHook = MakeProc<&ComboBoxAfterCreate>();
  combo->AttachHook(MakeProc<&ComboBoxHook>());
  return combo;
}

TControl* CreateLabel(TControl* parent, std::string_view caption) {
  TControl* label = CreateStandardControl(parent, "STATIC", 0x5000018C, false, &LabelCommands);
  TControlAccess::Caption(label) = std::string(caption);
  return label;
}

TControl* CreateButton(TControl* parent, std::string_view caption) {
  TControl* button =
      CreateStandardControl(parent, "BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, false, &ButtonCommands);
  TControlAccess::Caption(button) = std::string(caption);
  return button;
}

}  // namespace fliran
