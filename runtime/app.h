// The application's process-wide state: the application window and the two flags of the message
// loop. The toolkit, the main form element and the loop share them; all are used on the GUI
// thread only.
#pragma once

namespace fliran {

class TControl;

// The application window object: null until the first main form element creates it, null
// again after ShutdownApp.
inline TControl* AppWindow = nullptr;
// Set when RunMessageLoop is entered, cleared by ShutdownApp.
inline bool AppRunning = false;
// Set when the quit message is taken from the queue or ShutdownApp runs; ends the loop.
inline bool AppTerminated = false;

}  // namespace fliran
