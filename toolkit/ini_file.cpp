// TIniFile over the private-profile calls. Names and values are CP1251 and go through the wide
// calls, so a Cyrillic path or key works whatever the system's code page.
#include "toolkit/ini_file.h"

#include "toolkit/win.h"

#include <vector>

#include "runtime/convert.h"
#include "runtime/cp1251.h"

namespace fliran {

std::int32_t TIniFile::IniInteger(const std::string& key, std::int32_t value) {
  const WideString section = Cp1251ToWide(Section);
  const WideString wideKey = Cp1251ToWide(key);
  const WideString file = Cp1251ToWide(FileName);
  if (Mode == 0) {
    return static_cast<std::int32_t>(GetPrivateProfileIntW(section.c_str(), wideKey.c_str(), value, file.c_str()));
  }
  WritePrivateProfileStringW(section.c_str(), wideKey.c_str(), Cp1251ToWide(IntToText(value)).c_str(), file.c_str());
  return value;
}

std::string ProgramDirectory() {
  // The module path can be longer than MAX_PATH; grow the buffer until it fits.
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) {
      WideString path(buffer.data(), length);
      path.erase(path.find_last_of(L'\\') + 1);
      return WideToCp1251(path);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace fliran
