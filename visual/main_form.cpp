// TKvornMainForm: creation with the application window, the setters, Init, the start handler,
// the message hook with the close procedure, and the two position stores.
#include "visual/main_form.h"

#include "toolkit/win.h"

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "runtime/modules.h"
#include "runtime/start_procs.h"
#include "toolkit/ini_file.h"
#include "toolkit/str_list.h"

namespace fliran {

namespace {

constexpr std::string_view IniMarker = ".ini\\";
constexpr WPARAM MoveByCaption = 0xF012;  // SC_MOVE with the caption as the grip: drag the window

}  // namespace

TKvornMainForm::TKvornMainForm(TControl* parent) : TKvornWin(parent), Background(MakeObj<TBitmap>()) {
  if (!AppWindowExists()) {
    CreateAppWindow("Form");
    IsMain = true;
  }
  AdoptControl(CreateForm(parent != nullptr ? parent : AppWindow, "Form"));
  Control->Hide();
  Control->ShowEvent = MakeMethod<&TKvornWin::Shown>(static_cast<TKvornWin*>(this));
  AddStartProc(MakeMethod<&TKvornMainForm::Start>(this));
  PositionStoreMethod = MakeMethod<&TKvornMainForm::StoreNothing>(this);
}

// A form that goes before the start procedures run takes its own along, or they would call into
// freed memory; and its form-list entry, by the handle it was listed under, since its window
// (and with it its handle) may be gone already.
TKvornMainForm::~TKvornMainForm() {
  RemoveStartProcs(this);
  Background.reset();
  if (TStrListEx* forms = FormList(); forms != nullptr && ListedHandle != nullptr) {
    const std::int32_t i = forms->IndexOfObject(ListedHandle);
    if (i >= 0) forms->DeleteLine(i);
  }
}

// ---------------------------------------------------------------------------------------------
// Setters.

void TKvornMainForm::SetCaption(std::string_view text) {
  Control->SetText(text);
  if (IsMain && AppWindow != nullptr) AppWindow->SetText(text);
}

void TKvornMainForm::SetBorderStyle(std::uint8_t value) {
  if (value > 9) return;
  const TBorderStyleBits& bits = BorderStyles[value];
  Control->SetStyle((Control->Style() & ~BorderStyleMask) | bits.Style);
  Control->SetExStyle((Control->ExStyle() & ~BorderExStyleMask) | bits.ExStyle);
}

void TKvornMainForm::SetIcon(HICON icon) {
  if (IsMain && AppWindow != nullptr) AppWindow->SetIcon(icon);
  if (icon == nullptr && Control->Parent() != nullptr) icon = Control->Parent()->Icon();
  Control->SetIcon(icon);
}

void TKvornMainForm::SetHideFromTaskbar(std::uint8_t value) {
  if (IsMain && value == 1 && AppWindow != nullptr) AppWindow->SetExStyle(WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME);
}

void TKvornMainForm::SetupFormAttachment(const TKvornFormAttachment* attachment) {
  FormAttachment = attachment;
  if (attachment == nullptr || Control == nullptr) return;
  if (attachment->AttachFirst) attachment->AttachFirst(Control);
  if (attachment->AttachSecond) attachment->AttachSecond(Control);
}

// ---------------------------------------------------------------------------------------------
// Init and start.

void TKvornMainForm::Init() {
  if (PositionStore.empty()) {
    PositionStoreMethod = MakeMethod<&TKvornMainForm::StoreNothing>(this);
  } else if (PositionStore.find(IniMarker) != std::string::npos) {
    PositionStoreMethod = MakeMethod<&TKvornMainForm::StoreInIniFile>(this);
  } else {
    PositionStoreMethod = MakeMethod<&TKvornMainForm::StoreInRegistry>(this);
  }
  const bool visible = Visible;
  Visible = false;  // the start handler shows the form
  if (!IsMain && ListedHandle == nullptr && Control->CreateControlWindow() && FormList() != nullptr) {
    ListedHandle = Control->Handle();
    FormList()->InsertObject(0, "", ListedHandle);
  }
  TKvornWin::Init();
  Visible = visible;
  Control->SetWindowAlpha(Opacity);
  if (ClientSizeMode && Control->CreateControlWindow()) {
    const RECT client = Control->ClientRect();
    const int frameWidth = Control->Width() - (client.right - client.left);
    const int frameHeight = Control->Height() - (client.bottom - client.top);
    if (Width > 0) Control->SetSize(Width + frameWidth, Control->Height());
    if (Height > 0) Control->SetSize(Control->Width(), Height + frameHeight);
  }
  Control->PaintEvent = MakeMethod<&TKvornMainForm::PaintBackground>(this);
  Control->Element = static_cast<TKvornWin*>(this);
  if (AfterInit) AfterInit();
}

void TKvornMainForm::Start() {
  FireNull(outStart);
  if (Control != nullptr) Control->SetVisible(Visible);
}

void TKvornMainForm::PaintBackground(TControl*, HDC dc) {
  if (!Background->Empty()) Background->Draw(dc, 0, 0);
}

// ---------------------------------------------------------------------------------------------
// Overridden operations.

void TKvornMainForm::MouseDown(TControl* sender, TMouseEventData& mouse) {
  if (DragForm && Control != nullptr) {
    ReleaseCapture();
    Control->SendToControl(WM_SYSCOMMAND, MoveByCaption, 0);
  }
  TKvornWin::MouseDown(sender, mouse);
}

void TKvornMainForm::Shown(TControl* sender) {
  if (!ShownOnce && Control != nullptr) {
    if (WindowState == 1) ShowWindow(Control->Handle(), SW_SHOWMINNOACTIVE);
    if (WindowState == 2) ShowWindow(Control->Handle(), SW_SHOWMAXIMIZED);
    PositionStoreMethod(false);
    ShownOnce = true;
  }
  TKvornWin::Shown(sender);
}

void TKvornMainForm::PostInnerMessage() {
  if (WinName.empty() || FormList() == nullptr) return;
  TStrListEx* forms = FormList();
  for (std::int32_t i = 0; i < forms->Count(); ++i) {
    PostMessageW(static_cast<HWND>(forms->ObjectAt(i)), InnerMessageId(), 0, 0);
  }
}

bool TKvornMainForm::MessageHook(TMsg& msg, LRESULT& result) {
  if (msg.Message == InnerMessageId() && InnerMessageId() != 0) {
    if (!IsMain && FollowTarget != nullptr && *FollowTarget) {
      if (TControl* target = (*FollowTarget)(); target != nullptr) {
        Control->SetPosition(target->Left() + FollowX, target->Top() + FollowY);
        Control->Invalidate();
      }
    }
  }
  switch (msg.Message) {
    case WM_MOVE:
      if (IsMain && AppWindow != nullptr && AppWindow->Handle() != nullptr) {
        AppWindow->SetPosition(Control->Left(), Control->Top());
      }
      PostInnerMessage();
      break;
    case WM_SIZE:
      if (IsMain && AppWindow != nullptr && AppWindow->Handle() != nullptr) {
        AppWindow->SetSize(Control->Width(), AppWindow->Height());
      }
      PostInnerMessage();
      break;
    case WM_ACTIVATE:
      FireNull(LOWORD(msg.WParam) != WA_INACTIVE ? outActivate : outDeactivate);
      break;
    case WM_CLOSE:
      if (CloseForm(msg.LParam == 0)) {
        result = 0;
        return true;
      }
      break;
    case WM_ERASEBKGND:
      if (!Background->Empty()) {
        result = 1;
        return true;
      }
      break;
    default: break;
  }
  return TKvornWin::MessageHook(msg, result);
}

bool TKvornMainForm::CloseForm(bool userClose) {
  bool handled = true;
  if (userClose && ReadLinkInteger(dataCancelClose) != 0) return true;
  // A child form may free itself while it closes: walk by index and re-read the count.
  for (std::int32_t i = 0; i < Control->ChildCount(); ++i) {
    TControl* child = Control->Child(i);
    if (child->IsForm() && child->Handle() != nullptr) SendMessageW(child->Handle(), WM_CLOSE, 0, 1);
  }
  if (IsMain) {
    handled = false;  // the toolkit closes the application window and ends the loop
    FireNull(outClose);
    DisableDispatch();
  } else {
    // No form of this program is ever modal: a secondary form is only hidden.
    Control->Hide();
  }
  PositionStoreMethod(true);
  return handled;
}

// ---------------------------------------------------------------------------------------------
// Position stores.

void TKvornMainForm::StoreNothing(bool) {}

RECT TKvornMainForm::RestoredBounds() const {
  RECT bounds = Control->BoundsRect();
  HWND wnd = Control->Handle();
  if (wnd == nullptr || IsIconic(wnd) == FALSE) return bounds;
  // A minimised window lies at -32000: saved so, the next start would put the window off every
  // screen. The rectangle the window returns to is saved instead.
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (GetWindowPlacement(wnd, &placement) == FALSE) return bounds;
  bounds = placement.rcNormalPosition;
  // A top-level window's restored rectangle counts from the work area of its screen (which
  // starts beside a taskbar at the left or top); tool windows count from the screen itself.
  if ((Control->Style() & WS_CHILD) == 0 && (Control->ExStyle() & WS_EX_TOOLWINDOW) == 0) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(wnd, MONITOR_DEFAULTTONEAREST), &monitor) != FALSE) {
      OffsetRect(&bounds, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
    }
  }
  return bounds;
}

void TKvornMainForm::StoreInRegistry(bool save) {
  if (Control == nullptr || Control->Handle() == nullptr) return;
  const WideString keyName = Cp1251ToWide("Software\\" + PositionStore);
  static constexpr const wchar_t* Names[4] = {L"Left", L"Top", L"Height", L"Width"};
  HKEY key = nullptr;
  if (save) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, 0xF003F, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
      return;
    }
    const RECT r = RestoredBounds();
    const DWORD values[4] = {static_cast<DWORD>(r.left), static_cast<DWORD>(r.top), static_cast<DWORD>(r.bottom - r.top),
                             static_cast<DWORD>(r.right - r.left)};
    for (int i = 0; i < 4; ++i) {
      RegSetValueExW(key, Names[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[i]), sizeof(DWORD));
    }
  } else {
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName.c_str(), 0, 0x20019, &key) != ERROR_SUCCESS) return;
    for (int i = 0; i < 4; ++i) {
      DWORD value = 0;
      DWORD size = sizeof value;
      if (RegQueryValueExW(key, Names[i], nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS) {
        continue;
      }
      const auto v = static_cast<int>(value);
      switch (i) {
        case 0: Control->SetPosition(v, Control->Top()); break;
        case 1: Control->SetPosition(Control->Left(), v); break;
        case 2: Control->SetSize(Control->Width(), v); break;
        default: Control->SetSize(v, Control->Height()); break;
      }
    }
  }
  RegCloseKey(key);
}

void TKvornMainForm::StoreInIniFile(bool save) {
  if (Control == nullptr) return;
  const std::size_t p = PositionStore.find(IniMarker);
  if (p == std::string::npos) return;
  TObjPtr<TIniFile> ini = CreateIniFile(ProgramDirectory() + PositionStore.substr(0, p + 4));
  ini->Section = PositionStore.substr(p + IniMarker.size());
  ini->Mode = save ? 1 : 0;
  if (save) {
    const RECT r = RestoredBounds();
    ini->IniInteger("Left", r.left);
    ini->IniInteger("Top", r.top);
    ini->IniInteger("Width", r.right - r.left);
    ini->IniInteger("Height", r.bottom - r.top);
    return;
  }
  Control->SetPosition(ini->IniInteger("Left", Control->Left()), Control->Top());
  Control->SetPosition(Control->Left(), ini->IniInteger("Top", Control->Top()));
  Control->SetSize(ini->IniInteger("Width", Control->Width()), Control->Height());
  Control->SetSize(Control->Width(), ini->IniInteger("Height", Control->Height()));
}

}  // namespace fliran
