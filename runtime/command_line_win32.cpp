// This process's command line. The wide calls give the text as typed whatever the system's
// code page; it is handed on as CP1251 like every text of the program.
#include "runtime/command_line.h"

#include "toolkit/win.h"

#include <vector>

#include "runtime/cp1251.h"

namespace fliran {

std::string CommandLineArg(int n) {
  if (n == 0) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
      const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (length < buffer.size()) return WideToCp1251(WideStringView(buffer.data(), length));
      buffer.resize(buffer.size() * 2);
    }
  }
  return CommandLineArgFrom(WideToCp1251(GetCommandLineW()), n);
}

}  // namespace fliran
