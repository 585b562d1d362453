// Real X input for tests running under Wine: runs xdotool on the X display that Wine uses.
//
// A Windows program under Wine can start a Unix program with CreateProcessW on its Z: path, but
// gets no usable process handle back, so the command runs inside /bin/sh, which writes the exit
// code to a file under /tmp; the test polls for that file while it keeps handling its own
// window messages (Wine reads X events only while the thread handles messages). xdotool's
// "search --sync" waits until the window is mapped, and "timeout" bounds every run.
#pragma once

#include <string>

namespace fliran::test {

// Held by a test for as long as it sends real input: test programs run in parallel share one
// X display and keyboard focus, so input tests take turns. A test that shows a window holds it
// too: a window that is shown is activated and takes the foreground, and with it the keys that
// a test running at the same time types. The lock is a named mutex of the Wine session, which
// every test program of a run shares. Take it before making windows.
class TXInputLock {
 public:
  TXInputLock();
  ~TXInputLock();
  TXInputLock(const TXInputLock&) = delete;
  TXInputLock& operator=(const TXInputLock&) = delete;
  bool Held() const { return held_; }

 private:
  void* mutex_ = nullptr;
  bool held_ = false;
};

// Runs "xdotool ARGS" (ARGS as one shell text); answers xdotool's exit code, or -1 when it
// could not be started or did not finish within timeoutMs.
int RunXdotool(const std::string& args, int timeoutMs = 30000);

// Gives the X input focus to the top-level window titled caption (exactly), then sends keys
// (xdotool key names, e.g. "Tab" or "shift+Tab"). Answers true on success.
bool SendKeys(const std::string& caption, const std::string& keys);

// Raises the top-level window titled caption, then clicks the left button at a point in screen
// coordinates.
bool ClickAt(const std::string& caption, int x, int y);

}  // namespace fliran::test
