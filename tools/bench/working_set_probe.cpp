// Prints the memory of running programs as the system reports it to a program: for every
// process whose executable has one of the given file names, GetProcessMemoryInfo's working set,
// its peak and the private bytes (PagefileUsage).
//
//   working_set_probe.exe NAME.exe [NAME.exe]...
//
// One line per process found: "working_set NAME PID WORKING PEAK PRIVATE" (bytes). Exits 1 when a
// name matches no process or its counters cannot be read.
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fwprintf(stderr, L"usage: working_set_probe NAME.exe [NAME.exe]...\n");
    return 2;
  }
  int result = 0;
  for (int i = 1; i < argc; ++i) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 1;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
      if (_wcsicmp(entry.szExeFile, argv[i]) != 0) continue;
      HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, entry.th32ProcessID);
      PROCESS_MEMORY_COUNTERS counters{};
      counters.cb = sizeof counters;
      if (process != nullptr && GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        std::wprintf(L"working_set %ls %lu %llu %llu %llu\n", argv[i], entry.th32ProcessID,
                     static_cast<unsigned long long>(counters.WorkingSetSize),
                     static_cast<unsigned long long>(counters.PeakWorkingSetSize),
                     static_cast<unsigned long long>(counters.PagefileUsage));
        found = true;
      }
      if (process != nullptr) CloseHandle(process);
    }
    CloseHandle(snapshot);
    if (!found) {
      std::fwprintf(stderr, L"working_set_probe: no readable process %ls\n", argv[i]);
      result = 1;
    }
  }
  return result;
}
