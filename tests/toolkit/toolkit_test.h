// Helpers of the toolkit tests: message pumping with generous time bounds, owners for test
// windows, and resetting the process-wide state between tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/app.h"
#include "runtime/wide_string.h"
#include "toolkit/control.h"

namespace fliran::test {

// Handles queued messages (and those arriving) for about ms milliseconds.
void PumpFor(int ms);
// Handles messages until done() holds or timeoutMs passed; answers done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Handles the messages that are queued now.
void PumpQueued();

// Restores the process-wide state that a test may change.
struct TAppStateGuard {
  TAppStateGuard() { Reset(); }
  ~TAppStateGuard() { Reset(); }
  static void Reset() {
    AppRunning = false;
    AppTerminated = false;
    ProgramMessageFilter = nullptr;
  }
};

// A unique window caption for this process and purpose (found again by xdotool).
std::string UniqueCaption(const std::string& purpose);

// Windows that are never shown: unmapping a shown top-level window costs Wine a long wait for
// a window manager when none runs, so tests that need no visible window use these.
inline TControl* HiddenForm(TControl* parent, std::string_view caption) {
  TControl* form = CreateForm(parent, caption);
  form->Hide();
  return form;
}
inline TControl* HiddenApp(std::string_view caption) {
  TControl* app = CreateAppWindow(caption);
  app->Hide();
  return app;
}

// Removes a pending quit message, if any; answers whether there was one.
bool TakeQuitMessage();

// The whole content of a file (empty when it cannot be read), read while other processes may
// still write it. Through the platform's file calls: the C runtime's wide-path fopen is not there
// in every build.
std::string FileContent(const WideString& path);

// The full path of a program in this test program's folder (the built panel, for one).
WideString ProgramBesideThis(const WideString& fileName);

// The first visible top-level window of the process with the platform class className, or null.
HWND VisibleWindowOf(DWORD processId, const wchar_t* className);

// A program run in a process of its own (the built panel, for one); ended at destruction when it
// still runs.
class TChildProcess {
 public:
  // With output, the program's standard output and error go to that file, removed again with this.
  TChildProcess(const WideString& path, const WideString& arguments, const WideString& output = {});
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;
  bool Started() const { return started_; }
  DWORD Id() const { return process_.dwProcessId; }
  // The first visible top-level window of the class, waiting up to 30 s; null when the process
  // ends first.
  HWND WaitForWindow(const wchar_t* className) const;
  // The exit code, or -1 when the process does not end within 30 s.
  long ExitCode() const;

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
  WideString output_;
  HANDLE out_ = INVALID_HANDLE_VALUE;
};

// Records what a combo box's selection handler sees: how often it ran, the index and the text.
struct TSelectionProbe {
  int calls = 0;
  std::int32_t index = -2;
  std::string text;
  void OnSelect(TControl* sender) {
    ++calls;
    index = sender->CurrentIndex();
    text = sender->GetText();
  }
};

}  // namespace fliran::test
