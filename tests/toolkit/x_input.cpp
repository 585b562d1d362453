// Real X input through xdotool, started from the Wine-hosted test program.
#include "x_input.h"

#include <cstdio>
#include <string>

#include "runtime/cp1251.h"
#include "toolkit/win.h"
#include "toolkit_test.h"

namespace fliran::test {

namespace {

WideString Widen(const std::string& ascii) { return Cp1251ToWide(ascii); }

}  // namespace

TXInputLock::TXInputLock() {
  mutex_ = CreateMutexW(nullptr, FALSE, L"fliran-x-input");
  if (mutex_ == nullptr) return;
  const DWORD wait = WaitForSingleObject(mutex_, 100000);
  held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

TXInputLock::~TXInputLock() {
  if (mutex_ == nullptr) return;
  if (held_) ReleaseMutex(mutex_);
  CloseHandle(mutex_);
}

int RunXdotool(const std::string& args, int timeoutMs) {
  static int counter = 0;
  const std::string doneFile =
      "/tmp/fliran-xinput-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + ".rc";
  WideString windowsPath = L"Z:" + Widen(doneFile);
  for (auto& c : windowsPath) {
    if (c == L'/') c = L'\\';
  }
  DeleteFileW(windowsPath.c_str());
  const int seconds = timeoutMs / 1000 > 2 ? timeoutMs / 1000 - 1 : 1;
  const std::string script = "timeout " + std::to_string(seconds) + " xdotool " + args + " >/dev/null; echo $? > " + doneFile;
  WideString commandLine = L"/bin/sh -c \"" + Widen(script) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (CreateProcessW(L"Z:\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) == FALSE) {
    std::fprintf(stderr, "x_input: cannot start /bin/sh (error %lu)\n", static_cast<unsigned long>(GetLastError()));
    return -1;
  }
  // A Unix process started by Wine has no real process handle: these are placeholders.
  if (pi.hThread != nullptr) CloseHandle(pi.hThread);
  if (pi.hProcess != nullptr) CloseHandle(pi.hProcess);
  const bool done = PumpUntil([&] { return GetFileAttributesW(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES; },
                              timeoutMs);
  if (!done) {
    std::fprintf(stderr, "x_input: xdotool %s did not finish\n", args.c_str());
    return -1;
  }
  int code = -1;
  // The shell may still be writing the number: read until it is there.
  PumpUntil([&] { return std::sscanf(FileContent(windowsPath).c_str(), "%d", &code) == 1; }, 5000);
  DeleteFileW(windowsPath.c_str());
  if (code != 0) std::fprintf(stderr, "x_input: xdotool %s exited with %d\n", args.c_str(), code);
  return code;
}

bool SendKeys(const std::string& caption, const std::string& keys) {
  // --sync: wait until the window is mapped and the focus has really moved.
  // windowraise: without a window manager another program's window may lie on top.
  return RunXdotool("search --sync --limit 1 --name '^" + caption + "$' windowraise windowfocus --sync key --delay 60 " +
                    keys) == 0;
}

bool ClickAt(const std::string& caption, int x, int y) {
  return RunXdotool("search --sync --limit 1 --name '^" + caption + "$' windowraise mousemove --sync " +
                    std::to_string(x) + " " + std::to_string(y) + " click 1") == 0;
}

}  // namespace fliran::test
