// The ini-file object against a real private-profile file next to the test program.
#include <gtest/gtest.h>

#include "toolkit/win.h"

#include "runtime/cp1251.h"
#include "toolkit/ini_file.h"

namespace fliran {
namespace {

TEST(IniFile, ProgramDirectoryEndsWithABackslash) {
  const std::string directory = ProgramDirectory();
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), '\\');
  EXPECT_NE(GetFileAttributesW(Cp1251ToWide(directory).c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(IniFile, WrittenIntegersAreReadBackAndMissingKeysGiveTheDefault) {
  const std::string file = ProgramDirectory() + std::string("ini_file_test_ФОРМА.ini"_cp1251);
  DeleteFileW(Cp1251ToWide(file).c_str());
  {
    TObjPtr<TIniFile> ini = CreateIniFile(file);
    ini->Section = "MainForm";
    ini->Mode = 1;
    EXPECT_EQ(ini->IniInteger("Left", -15), -15);
    EXPECT_EQ(ini->IniInteger("Width", 442), 442);
  }
  TObjPtr<TIniFile> ini = CreateIniFile(file);
  ini->Section = "MainForm";
  EXPECT_EQ(ini->IniInteger("Left", 0), -15);
  EXPECT_EQ(ini->IniInteger("Width", 0), 442);
  EXPECT_EQ(ini->IniInteger("Height", 509), 509);
  ini->Section = "Other";
  EXPECT_EQ(ini->IniInteger("Left", 7), 7);
  EXPECT_TRUE(DeleteFileW(Cp1251ToWide(file).c_str()));
}

}  // namespace
}  // namespace fliran
