// TIniFile: one section of a private-profile (ini) file, read or written key by key.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/obj.h"

namespace fliran {

class TIniFile : public TObj {
 public:
  explicit TIniFile(std::string fileName) : FileName(std::move(fileName)) {}

  std::uint8_t Mode = 0;  // 0 reads, anything else writes
  std::string FileName;
  std::string Section;

  // Read mode: the stored integer, or value when there is none. Write mode: stores value as
  // decimal text and returns it.
  std::int32_t IniInteger(const std::string& key, std::int32_t value);

 protected:
  ~TIniFile() override = default;
};

inline TObjPtr<TIniFile> CreateIniFile(std::string fileName) { return MakeObj<TIniFile>(std::move(fileName)); }

// The directory of the program file, ending with a backslash (CP1251 text).
std::string ProgramDirectory();

}  // namespace fliran
