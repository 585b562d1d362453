// The program's process-wide state and its lifecycle: the application window, the message loop
// flags, the start procedures, the form list and the inner message, and the operations that
// start, run and end the message loop.
#pragma once

#include <cstddef>
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
// Runs every start procedure in the order added, including those added while it runs, then
// empties the list.
void RunStartProcs();
std::size_t StartProcCount();

// Window handles of the secondary forms that exist (created at start-up, freed at exit); null
// outside that time.
TStrListEx* FormList();
// The window message registered under the name "inner message".
std::uint32_t InnerMessageId();

// The module initialisations of start-up, undone in reverse order when the object goes:
// common controls, the default hint manager, the form list and the inner message.
class TProgramModules {
 public:
  TProgramModules();
  ~TProgramModules();
  TProgramModules(const TProgramModules&) = delete;
  TProgramModules& operator=(const TProgramModules&) = delete;
};

// InitCommonControls, then InitCommonControlsEx with the class mask when comctl32.dll has it.
void InitCommonControlsAll(std::uint32_t classMask);

// The "/ih" information box: "Сделано в Kvorn." titled "Kvorn Info".
void ShowInfoBox();

// After the scheme is built: show or hide the application window as the main form wants,
// switch dispatch on and run the start procedures.
void ShowMainForm(bool mainFormVisible);

// The message loop over the application window (the reference is AppWindow itself); it ends
// when the quit message is taken, then ShutdownApp runs.
void RunMessageLoop(TControl*& appWindow);
void DrainMessages(TControl* window);
// Takes one message from the queue and handles it; false when the queue was empty.
bool ProcessOneMessage(TControl* window);
// Ends the loop and frees the application window (after a last drain and WM_CLOSE, unless the
// loop already ended by a quit message).
void ShutdownApp(TControl*& appWindow);

}  // namespace fliran
