// Start-up, the message loop and shutdown on the Win32 message queue.
#include "runtime/app.h"

#include "runtime/cp1251.h"
#include "runtime/link.h"
#include "toolkit/control.h"
#include "toolkit/str_list.h"
#include "toolkit/win.h"
#include "visual/hint_manager.h"

#include <commctrl.h>

namespace fliran {

namespace {

TObjPtr<TStrListEx> formList;
std::uint32_t innerMessageId = 0;

}  // namespace

TStrListEx* FormList() { return formList.get(); }
std::uint32_t InnerMessageId() { return innerMessageId; }

void InitCommonControlsAll(std::uint32_t classMask) {
  InitCommonControls();
  // Loaded once and kept for the life of the process.
  static const HMODULE commonControls = LoadLibraryW(L"comctl32.dll");
  if (commonControls == nullptr) return;
  using TInitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto initEx =
      reinterpret_cast<TInitEx>(reinterpret_cast<void*>(GetProcAddress(commonControls, "InitCommonControlsEx")));
  if (initEx == nullptr) return;  // an old comctl32: InitCommonControls is all there is
  const INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), classMask};
  initEx(&init);
}

TProgramModules::TProgramModules() {
  InitCommonControlsAll(0xFF);
  CreateDefaultHintManager();
  formList = MakeObj<TStrListEx>();
  innerMessageId = RegisterWindowMessageW(L"inner message");
}

TProgramModules::~TProgramModules() { formList.reset(); }

void ShowInfoBox() {
  MessageBoxW(nullptr, Cp1251ToWide("Сделано в Kvorn."_cp1251).c_str(), L"Kvorn Info", 0);
}

void ShowMainForm(bool mainFormVisible) {
  if (AppWindow != nullptr) AppWindow->SetVisible(mainFormVisible);
  EnableDispatch();
  RunStartProcs();
}

void RunMessageLoop(TControl*& appWindow) {
  AppRunning = true;
  AppWindow = appWindow;
  if (appWindow != nullptr) appWindow->CreateControlWindow();
  while (!AppTerminated) {
    WaitMessage();
    DrainMessages(AppWindow);
  }
  if (appWindow != nullptr) ShutdownApp(appWindow);
}

void DrainMessages(TControl* window) {
  while (ProcessOneMessage(window)) {
  }
}

bool ProcessOneMessage(TControl* window) {
  MSG msg{};
  if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    AppTerminated = true;
    return true;
  }
  if (window != nullptr && window->AppMessageFilter && window->AppMessageFilter(window, msg)) return true;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
  return msg.message != 0;
}

void ShutdownApp(TControl*& appWindow) {
  const bool wasTerminated = AppTerminated;
  AppTerminated = true;
  AppRunning = false;
  TControl* window = AppWindow;
  AppWindow = nullptr;
  if (window == nullptr) return;
  window->AddHold();  // the window survives the messages below, whatever they free
  if (!wasTerminated) {
    DrainMessages(window);
    if (window->Handle() != nullptr) SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
  }
  appWindow = nullptr;
  window->Free();
  window->DropHold();
}

}  // namespace fliran
