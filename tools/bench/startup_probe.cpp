// Measures start-up times under Wine: starts a program, waits until a visible top-level window
// of the given class belongs to it and that window and every window inside it are painted (no
// part of any of them waits for WM_PAINT any more), asks it to close and checks that it exits
// with code 0.
//   startup_probe <rounds> <program> <window class> [<program> <window class>]...
// Programs are started in turns whose order rotates every round, so all see the same machine
// load. For each program it prints the median milliseconds from CreateProcess to the window
// being shown and painted.
#include "toolkit/win.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Search {
  DWORD processId;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK FindShownWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t name[128] = {};
  GetClassNameW(window, name, 128);
  if (std::wcscmp(name, search->className) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// Whether the window or one inside it still has a part to paint (its update region, which the
// system keeps for every window, is not empty).
bool WaitsForPaint(HWND window) {
  if (GetUpdateRect(window, nullptr, FALSE) != FALSE) return true;
  bool waits = false;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM parameter) -> BOOL {
        if (IsWindowVisible(child) == FALSE || GetUpdateRect(child, nullptr, FALSE) == FALSE) return TRUE;
        *reinterpret_cast<bool*>(parameter) = true;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&waits));
  return waits;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
  return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// One start: milliseconds until the window shows, or a negative value on failure.
double StartOnce(const std::wstring& program, const wchar_t* className) {
  LARGE_INTEGER frequency, start, shown;
  QueryPerformanceFrequency(&frequency);
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fwprintf(stderr, L"cannot start %ls (error %lu)\n", program.c_str(), GetLastError());
    return -1.0;
  }
  Search search{process.dwProcessId, className, nullptr};
  const ULONGLONG deadline = GetTickCount64() + 60000;
  while (search.found == nullptr && GetTickCount64() < deadline) {
    EnumWindows(&FindShownWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) Sleep(1);
  }
  bool painted = search.found != nullptr;
  while (painted && WaitsForPaint(search.found)) {
    painted = GetTickCount64() < deadline;
    Sleep(1);
  }
  QueryPerformanceCounter(&shown);
  double result = Milliseconds(start, shown, frequency);
  if (!painted) {
    std::fwprintf(stderr, L"%ls showed no painted %ls window within 60 s\n", program.c_str(), className);
    TerminateProcess(process.hProcess, 1);
    result = -1.0;
  } else {
    PostMessageW(search.found, WM_CLOSE, 0, 0);
  }
  DWORD exitCode = 1;
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &exitCode) || exitCode != 0) {
    std::fwprintf(stderr, L"%ls did not exit cleanly (code %lu)\n", program.c_str(), exitCode);
    TerminateProcess(process.hProcess, 1);
    result = -1.0;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || (argc - 2) % 2 != 0) {
    std::fwprintf(stderr, L"usage: startup_probe <rounds> <program> <window class> [<program> <class>]...\n");
    return 2;
  }
  const int rounds = std::max(1, _wtoi(argv[1]));
  const int programs = (argc - 2) / 2;
  std::vector<std::vector<double>> times(static_cast<std::size_t>(programs));
  for (int round = 0; round < rounds; ++round) {
    for (int k = 0; k < programs; ++k) {
      const int p = (round + k) % programs;
      const double ms = StartOnce(argv[2 + 2 * p], argv[3 + 2 * p]);
      if (ms < 0) return 1;
      times[static_cast<std::size_t>(p)].push_back(ms);
    }
  }
  for (int p = 0; p < programs; ++p) {
    std::vector<double>& t = times[static_cast<std::size_t>(p)];
    std::sort(t.begin(), t.end());
    std::wprintf(L"median_ms %d %.2f\n", p, t[t.size() / 2]);
  }
  return 0;
}
