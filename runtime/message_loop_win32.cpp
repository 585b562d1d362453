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

namespace {

// What happens to a message once it is taken: the quit message ends the loop, the application
// window's filter may take a message for itself, every other message is translated and
// dispatched.
void HandleTaken(TControl* window, MSG& msg) {
  if (msg.message == WM_QUIT) {
    AppTerminated = true;
    return;
  }
  if (window != nullptr && window->AppMessageFilter && window->AppMessageFilter(window, msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

void RunMessageLoop(TControl*& appWindow) {
  AppRunning = true;
  AppWindow = appWindow;
  if (appWindow != nullptr) appWindow->CreateControlWindow();
  // One call waits for the next message and takes it. Waiting first and then taking messages
  // until the queue is empty handles them in the same order but asks the queue once more on every
  // wake-up, and under Wine each question is a round trip to the window server and a look at the
  // X connection: a click cost a dozen of them more than the same window written by hand.
  while (!AppTerminated) {
    MSG msg{};
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);  // 0: the quit message, which it fills in too
    if (got == -1) {
      WaitMessage();  // nothing taken; with no window named this does not happen
      continue;
    }
    HandleTaken(AppWindow, msg);
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
  HandleTaken(window, msg);
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
