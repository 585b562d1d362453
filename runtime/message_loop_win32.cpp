// The message loop and shutdown on the Win32 message queue.
#include "runtime/message_loop.h"

#include "runtime/app.h"
#include "runtime/link.h"
#include "runtime/start_procs.h"
#include "toolkit/control.h"
#include "toolkit/win.h"

namespace fliran {

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
  // A message with id 0 counts as taken too: answering "nothing taken" for it would stop the
  // drain and leave the messages behind it waiting in the queue.
  return true;
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
  // A main form whose window went before its object (closed through the application window)
  // waits for a deferred free in the queue; no loop runs any more to take it.
  RunDeferredFrees();
}

}  // namespace fliran
