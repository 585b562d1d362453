// Prints the memory of running programs as the system reports it to a program: for every
// process whose executable has one of the given file names, GetProcessMemoryInfo's working set,
// its peak and the private bytes (PagefileUsage).
//
//   working_set_probe.exe NAME.exe [NAME.exe]...
//   working_set_probe.exe --resources NAME.exe [NAME.exe]...
//
// One line per process found: "working_set NAME PID WORKING PEAK PRIVATE" (bytes). Exits 1 when a
// name matches no process or its counters cannot be read.
//
// With --resources each line also carries the process's counts of handles, USER objects, GDI
// objects and windows:
//   "resources NAME PID WORKING PEAK PRIVATE HANDLES USER GDI WINDOWS"
// HANDLES is GetProcessHandleCount's answer, USER and GDI GetGuiResources'. Where the system does
// not answer (Wine answers 0 handles and leaves GetGuiResources unimplemented) the count is taken
// another way when that way proves itself on this probe's own process first: the handles from the
// system's handle list (NtQuerySystemInformation), the GDI objects from the process's GDI handle
// table (the PEB's GdiSharedHandleTable, read with ReadProcessMemory). The proof: creating a few
// objects here must raise this process's own count by exactly that many, and deleting them must
// bring it back. A count without an answer is printed as "-". WINDOWS counts the process's windows
// (top-level, child and message-only), the USER objects a program makes most.
// The lines are printed once at start and once more for every line read from standard input,
// until its end, so that a long run can take many samples from one probe (tools/soak.sh); with
// standard input empty or /dev/null it samples once. Each sample ends with the line "end" and is
// flushed.
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

// GetGuiResources answers 0 with an error set when it cannot count (a process always owns some
// objects of either kind once it has a window).
std::optional<unsigned long long> GuiCount(HANDLE process, DWORD kind) {
  SetLastError(ERROR_SUCCESS);
  const DWORD count = GetGuiResources(process, kind);
  if (count == 0 && GetLastError() != ERROR_SUCCESS) return std::nullopt;
  return count;
}

// The system's list of every open handle (SystemExtendedHandleInformation).
struct HandleEntry {
  void* Object;
  ULONG_PTR ProcessId;
  ULONG_PTR Handle;
  ULONG GrantedAccess;
  USHORT CreatorBackTraceIndex;
  USHORT ObjectTypeIndex;
  ULONG HandleAttributes;
  ULONG Reserved;
};
struct HandleList {
  ULONG_PTR Count;
  ULONG_PTR Reserved;
  HandleEntry Handles[1];
};
constexpr int SystemExtendedHandleInformation = 64;
constexpr NTSTATUS StatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
using QuerySystem = NTSTATUS(NTAPI*)(int, void*, ULONG, ULONG*);
using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);

// A function of ntdll, looked up at run time (the import library does not have them all).
template <typename F>
F Ntdll(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

std::optional<unsigned long long> ListedHandles(DWORD pid) {
  static const auto query = Ntdll<QuerySystem>("NtQuerySystemInformation");
  if (query == nullptr) return std::nullopt;
  std::vector<unsigned char> buffer(1 << 20);
  for (;;) {
    ULONG needed = 0;
    const NTSTATUS status =
        query(SystemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == StatusInfoLengthMismatch && buffer.size() < (256u << 20)) {
      buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
      continue;
    }
    if (status < 0) return std::nullopt;
    break;
  }
  const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
  unsigned long long count = 0;
  for (ULONG_PTR i = 0; i < list->Count; ++i) count += list->Handles[i].ProcessId == pid;
  return count;
}

// The GDI handle table of a process: 24 bytes an entry, the object's type in byte 14 (0 for a
// free entry) and the owning process's id in the two bytes at 8.
constexpr std::size_t GdiEntrySize = 24;
constexpr std::size_t GdiTypeOffset = 14;
constexpr std::size_t GdiOwnerOffset = 8;
constexpr std::size_t PebGdiTableOffset = 0xF8;  // x64
constexpr std::size_t GdiMaxEntries = 0x10000;

std::vector<unsigned char> GdiTable(HANDLE process) {
  std::vector<unsigned char> table;
  static const auto query = Ntdll<QueryProcess>("NtQueryInformationProcess");
  PROCESS_BASIC_INFORMATION basic{};
  ULONG got = 0;
  if (query == nullptr || query(process, ProcessBasicInformation, &basic, sizeof basic, &got) < 0 ||
      basic.PebBaseAddress == nullptr) {
    return table;
  }
  const auto* peb = reinterpret_cast<const unsigned char*>(basic.PebBaseAddress);
  const unsigned char* start = nullptr;
  SIZE_T read = 0;
  if (!ReadProcessMemory(process, peb + PebGdiTableOffset, &start, sizeof start, &read) || start == nullptr) {
    return table;
  }
  // Page by page up to the end of the table or of the memory it lies in, or up to the first page
  // no object ever used: entries are taken from the start of the table, and reading the pages
  // beyond would bring them into the process's working set, which is what the probe measures.
  constexpr std::size_t Page = 4096;
  std::vector<unsigned char> page(Page);
  while (table.size() < GdiMaxEntries * GdiEntrySize) {
    if (!ReadProcessMemory(process, start + table.size(), page.data(), Page, &read) || read != Page) break;
    if (std::all_of(page.begin(), page.end(), [](unsigned char b) { return b == 0; })) break;
    table.insert(table.end(), page.begin(), page.end());
  }
  return table;
}

// The entries in use in a table, only those of owner when it is not 0.
unsigned long long GdiInUse(const std::vector<unsigned char>& table, USHORT owner) {
  unsigned long long count = 0;
  for (std::size_t at = 0; at + GdiEntrySize <= table.size(); at += GdiEntrySize) {
    USHORT pid = 0;
    std::memcpy(&pid, &table[at + GdiOwnerOffset], sizeof pid);
    if (table[at + GdiTypeOffset] != 0 && (owner == 0 || pid == owner)) ++count;
  }
  return count;
}

// Whether a way of counting is right on this process: making `made` objects raises the count by
// exactly that many and freeing them brings it back.
bool Proves(const std::function<std::optional<unsigned long long>()>& count, int made,
            const std::function<void(bool)>& makeOrFree) {
  const auto before = count();
  makeOrFree(true);
  const auto with = count();
  makeOrFree(false);
  const auto after = count();
  return before && with && after && *with == *before + made && *after == *before;
}

// How the counts are taken, settled once on this probe's own process.
struct Ways {
  bool listedHandles = false;
  bool gdiTable = false;
  USHORT gdiOwner = 0;  // 0: the table is the process's own (Wine); else filter by owner
};

Ways FindWays() {
  Ways ways;
  const DWORD self = GetCurrentProcessId();
  std::vector<HANDLE> events;
  ways.listedHandles = Proves([&] { return ListedHandles(self); }, 5, [&](bool make) {
    if (make) {
      for (int i = 0; i < 5; ++i) events.push_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    } else {
      for (HANDLE e : events) CloseHandle(e);
      events.clear();
    }
  });
  std::vector<HBRUSH> brushes;
  auto makeOrFree = [&](bool make) {
    if (make) {
      for (int i = 0; i < 20; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 2 * i, 3 * i)));
    } else {
      for (HBRUSH b : brushes) DeleteObject(b);
      brushes.clear();
    }
  };
  // The table as one process's own (Wine), or shared and told apart by the owner's id.
  for (const USHORT owner : {USHORT(0), static_cast<USHORT>(self)}) {
    if (Proves([&]() -> std::optional<unsigned long long> {
          const std::vector<unsigned char> table = GdiTable(GetCurrentProcess());
          if (table.empty()) return std::nullopt;
          return GdiInUse(table, owner);
        }, 20, makeOrFree)) {
      ways.gdiTable = true;
      ways.gdiOwner = owner;
      break;
    }
  }
  return ways;
}

// The windows of a process: top-level ones with their children, and message-only ones.
unsigned long long Windows(DWORD pid) {
  struct Count {
    DWORD pid;
    unsigned long long windows = 0;
  } count{pid};
  const auto top = [](HWND window, LPARAM parameter) -> BOOL {
    auto* c = reinterpret_cast<Count*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != c->pid) return TRUE;
    ++c->windows;
    EnumChildWindows(window, [](HWND, LPARAM p) -> BOOL {
      ++reinterpret_cast<Count*>(p)->windows;
      return TRUE;
    }, parameter);
    return TRUE;
  };
  EnumWindows(top, reinterpret_cast<LPARAM>(&count));
  for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w != nullptr;
       w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) ++count.windows;
  }
  return count.windows;
}

std::wstring Text(const std::optional<unsigned long long>& count) {
  return count ? std::to_wstring(*count) : std::wstring(L"-");
}

// Prints the line of every process named name; false when there is none that can be read.
bool Sample(const wchar_t* name, const Ways* ways) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, name) != 0) continue;
    const DWORD pid = entry.th32ProcessID;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (process != nullptr && GetProcessMemoryInfo(process, &counters, sizeof counters)) {
      const auto working = static_cast<unsigned long long>(counters.WorkingSetSize);
      const auto peak = static_cast<unsigned long long>(counters.PeakWorkingSetSize);
      const auto priv = static_cast<unsigned long long>(counters.PagefileUsage);
      if (ways != nullptr) {
        std::optional<unsigned long long> handles;
        DWORD answered = 0;
        if (GetProcessHandleCount(process, &answered) && answered != 0) {
          handles = answered;
        } else if (ways->listedHandles) {
          handles = ListedHandles(pid);
        }
        std::optional<unsigned long long> gdi = GuiCount(process, GR_GDIOBJECTS);
        if (!gdi && ways->gdiTable) {
          const std::vector<unsigned char> table = GdiTable(process);
          if (!table.empty()) gdi = GdiInUse(table, ways->gdiOwner != 0 ? static_cast<USHORT>(pid) : 0);
        }
        std::wprintf(L"resources %ls %lu %llu %llu %llu %ls %ls %ls %llu\n", name, pid, working, peak, priv,
                     Text(handles).c_str(), Text(GuiCount(process, GR_USEROBJECTS)).c_str(), Text(gdi).c_str(),
                     Windows(pid));
      } else {
        std::wprintf(L"working_set %ls %lu %llu %llu %llu\n", name, pid, working, peak, priv);
      }
      found = true;
    }
    if (process != nullptr) CloseHandle(process);
  }
  CloseHandle(snapshot);
  if (!found) std::fwprintf(stderr, L"working_set_probe: no readable process %ls\n", name);
  return found;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  const bool resources = argc > 1 && std::wcscmp(argv[1], L"--resources") == 0;
  if (resources) ++first;
  if (argc <= first) {
    std::fwprintf(stderr, L"usage: working_set_probe [--resources] NAME.exe [NAME.exe]...\n");
    return 2;
  }
  int result = 0;
  char request[256];
  Ways ways;
  if (resources) ways = FindWays();
  do {
    for (int i = first; i < argc; ++i) {
      if (!Sample(argv[i], resources ? &ways : nullptr)) result = 1;
    }
    if (!resources) break;
    std::wprintf(L"end\n");
    std::fflush(stdout);
  } while (std::fgets(request, sizeof request, stdin) != nullptr);
  return result;
}
