// The version resource of the shipped programs, read back from the built .exe files as Windows
// reads it for a file's properties: the project's version number, the product and the program's
// own description and file name.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/toolkit/toolkit_test.h"

namespace fliran {
namespace {

// FLIRAN_VERSION is project()'s version, "major.minor.patch".
struct TVersion {
  unsigned major = 0, minor = 0, patch = 0;
};
TVersion ProjectVersion() {
  TVersion v;
  EXPECT_EQ(std::sscanf(FLIRAN_VERSION, "%u.%u.%u", &v.major, &v.minor, &v.patch), 3) << FLIRAN_VERSION;
  return v;
}

// A program's version block, read whole with GetFileVersionInfoW.
class TVersionInfo {
 public:
  explicit TVersionInfo(const WideString& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return;
    block_.resize(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block_.data())) block_.clear();
  }
  bool Loaded() const { return !block_.empty(); }

  const VS_FIXEDFILEINFO* Fixed() const {
    void* value = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block_.data(), L"\\", &value, &size) || size < sizeof(VS_FIXEDFILEINFO)) {
      return nullptr;
    }
    return static_cast<const VS_FIXEDFILEINFO*>(value);
  }
  // The first language and code page the block names, as "040904b0".
  std::wstring Translation() const {
    void* value = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block_.data(), L"\\VarFileInfo\\Translation", &value, &size) || size < 4) {
      return {};
    }
    const WORD* pair = static_cast<const WORD*>(value);
    wchar_t text[9] = {};
    std::swprintf(text, 9, L"%04x%04x", pair[0], pair[1]);
    return text;
  }
  // A string of that translation, or "(missing)".
  std::wstring String(const std::wstring& name) const {
    std::wstring key = L"\\StringFileInfo\\" + Translation() + L"\\" + name;
    void* value = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(block_.data(), key.c_str(), &value, &size) || size == 0) return L"(missing)";
    return static_cast<const wchar_t*>(value);
  }

 private:
  std::vector<unsigned char> block_;
};

TEST(VersionResource, ShippedProgramsCarryTheProjectVersionAndTheirNames) {
  struct TProgram {
    const wchar_t* file;
    const wchar_t* description;
  };
  const TProgram programs[] = {
      {L"" FLIRAN_PANEL_EXE, L"FLIRAN bird control panel"},
      {L"" FLIRAN_TRACE_DEBUGGER_EXE, L"FLIRAN panel trace debugger"},
  };
  const TVersion version = ProjectVersion();
  const std::wstring versionText(FLIRAN_VERSION, FLIRAN_VERSION + sizeof FLIRAN_VERSION - 1);

  for (const TProgram& program : programs) {
    SCOPED_TRACE(std::string(program.file, program.file + wcslen(program.file)));
    TVersionInfo info(test::ProgramBesideThis(program.file));
    ASSERT_TRUE(info.Loaded()) << "no version resource, error " << GetLastError();

    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, (version.major << 16) | version.minor);
    EXPECT_EQ(fixed->dwFileVersionLS, version.patch << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "no debug, pre-release or patched flag";

    // U.S. English in Unicode: the strings Explorer shows whatever the user's language.
    EXPECT_EQ(info.Translation(), L"040904b0");
    EXPECT_EQ(info.String(L"FileVersion"), versionText);
    EXPECT_EQ(info.String(L"ProductVersion"), versionText);
    EXPECT_EQ(info.String(L"ProductName"), L"FLIRAN Panel");
    EXPECT_EQ(info.String(L"FileDescription"), program.description);
    EXPECT_EQ(info.String(L"OriginalFilename"), program.file);
    EXPECT_EQ(info.String(L"CompanyName"), L"fliran-panel authors");
    EXPECT_NE(info.String(L"LegalCopyright").find(L"MIT"), std::wstring::npos) << "the licence is named";
  }
}

}  // namespace
}  // namespace fliran
