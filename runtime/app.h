// The program's process-wide state and its lifecycle: the application window, the message loop
// flags, the start procedures, the form list and the inner message, and the operations that
// start, run and end the message loop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/method.h"

namespace fliran {

class TControl;
class TStrListEx;

// The application window object: null until the first main form element creates it, null
// again after ShutdownApp.
inline TControl* AppWindow = nullptr;
// Set when RunMessageLoop is entered, cleared by ShutdownApp.
inline bool AppRunning = false;
// Set when the quit message is taken from the queue or ShutdownApp runs; ends the loop.
inline bool AppTerminated = false;

// Procedures run once after the scheme is built (the main form adds its own while constructed).
using TStartProc = TMethod<void()>;
void AddStartProc(TStartProc proc);
void RunStartProcs();

// Window handles of the secondary forms that exist (created at start-up, freed at exit).
TStrListEx* FormList();
// The window message registered under the name "inner message".
std::uint32_t InnerMessageId();

}  // namespace fliran
