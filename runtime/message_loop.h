// The message loop: showing the main form once the scheme is built, running the loop over the
// application window, and ending it.
#pragma once

namespace fliran {

class TControl;

// After the scheme is built: show or hide the application window as the main form wants,
// switch dispatch on and run the start procedures.
void ShowMainForm(bool mainFormVisible);

// The message loop over the application window (the reference is AppWindow itself); it ends
// when the quit message is taken, then ShutdownApp runs.
void RunMessageLoop(TControl*& appWindow);
void DrainMessages(TControl* window);
// Takes one message from the queue and handles it; true whenever a message was taken (a message
// with id 0 included), false when the queue was empty.
bool ProcessOneMessage(TControl* window);
// Ends the loop and frees the application window (after a last drain and WM_CLOSE, unless the
// loop already ended by a quit message), then the toolkit's deferred frees still queued, so
// that nothing of the windows outlives it.
void ShutdownApp(TControl*& appWindow);

}  // namespace fliran
