// Helpers of the toolkit tests.
#include "toolkit_test.h"

#include <string>

#include "toolkit/win.h"

namespace fliran::test {

void PumpQueued() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
    if (msg.message == WM_QUIT) {
      // Kept for the test to see.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    PumpQueued();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

std::string UniqueCaption(const std::string& purpose) {
  return "fliran-" + purpose + "-" + std::to_string(GetCurrentProcessId());
}

bool TakeQuitMessage() {
  MSG msg;
  return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

std::string FileContent(const WideString& path) {
  std::string content;
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return content;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE && got > 0) content.append(chunk, got);
  CloseHandle(file);
  return content;
}

WideString ProgramBesideThis(const WideString& fileName) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  WideString path(self);
  path.erase(path.find_last_of(L'\\') + 1);
  return path + fileName;
}

HWND VisibleWindowOf(DWORD processId, const wchar_t* className) {
  struct TSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found = nullptr;
  } search{processId, className};
  EnumWindows(
      [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<TSearch*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (owner != s->processId || WideString(name) != s->className || IsWindowVisible(window) == FALSE) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

TChildProcess::TChildProcess(const WideString& path, const WideString& arguments, const WideString& output)
    : output_(output) {
  WideString commandLine = L"\"" + path + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!output.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    out_ = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out_;
    startup.hStdError = out_;
  }
  started_ = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, out_ != INVALID_HANDLE_VALUE, 0,
                            nullptr, nullptr, &startup, &process_) != FALSE;
}

TChildProcess::~TChildProcess() {
  if (started_) {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  if (out_ != INVALID_HANDLE_VALUE) {
    CloseHandle(out_);
    DeleteFileW(output_.c_str());
  }
}

HWND TChildProcess::WaitForWindow(const wchar_t* className) const {
  const ULONGLONG deadline = GetTickCount64() + 30000;
  while (GetTickCount64() < deadline) {
    if (HWND window = VisibleWindowOf(process_.dwProcessId, className)) return window;
    if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

long TChildProcess::ExitCode() const {
  if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<long>(code);
}

}  // namespace fliran::test
