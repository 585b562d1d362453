// Reads a shell shortcut (.lnk) as Windows does and prints what it points to, one "name=value"
// line each, in UTF-8, for tests/scripts/release_test.sh:
//
//   target=C:\Program Files\FLIRAN Panel\fliran-panel.exe
//   workdir=C:\Program Files\FLIRAN Panel
//   icon=C:\Program Files\FLIRAN Panel\fliran-panel.exe,0
//   icon-group=ZORD        the icon group of the icon file that the icon's index picks
//
// Exit code 0, or 1 with the reason on standard error when the shortcut cannot be read.
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

namespace {

struct TRelease {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename T>
using TComPtr = std::unique_ptr<T, TRelease>;

struct TComApartment {
  HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~TComApartment() {
    if (SUCCEEDED(result)) CoUninitialize();
  }
};

struct TFreeModule {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using TModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, TFreeModule>;

void PrintLine(const char* name, const std::wstring& value) {
  int size = WideCharToMultiByte(CP_UTF8, 0, value.c_str(), static_cast<int>(value.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, value.c_str(), static_cast<int>(value.size()), text.data(), size, nullptr,
                      nullptr);
  std::printf("%s=%s\n", name, text.c_str());
}

int Fail(const char* what, HRESULT result) {
  std::fprintf(stderr, "shortcut_probe: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(result));
  return 1;
}

// The name of the index-th icon group of a module, in the order Windows takes icons by index
// (the order of its resource directory); empty when there is none.
std::wstring IconGroupName(const std::wstring& file, int index) {
  TModule module(LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) return {};
  struct TSearch {
    int left;
    std::wstring name;
  } search{index, {}};
  EnumResourceNamesW(
      module.get(), MAKEINTRESOURCEW(14),
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR parameter) -> BOOL {
        auto* s = reinterpret_cast<TSearch*>(parameter);
        if (s->left-- > 0) return TRUE;
        s->name = IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : name;
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&search));
  return search.name;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: shortcut_probe FILE.lnk\n");
    return 2;
  }
  TComApartment com;
  if (FAILED(com.result)) return Fail("CoInitializeEx", com.result);

  IShellLinkW* rawLink = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&rawLink));
  if (FAILED(result)) return Fail("creating a shell link", result);
  TComPtr<IShellLinkW> link(rawLink);
  IPersistFile* rawFile = nullptr;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile));
  if (FAILED(result)) return Fail("IPersistFile", result);
  TComPtr<IPersistFile> file(rawFile);
  result = file->Load(argv[1], STGM_READ);
  if (FAILED(result)) return Fail("loading the shortcut", result);

  wchar_t text[MAX_PATH] = {};
  result = link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  if (FAILED(result)) return Fail("GetPath", result);
  PrintLine("target", text);
  text[0] = L'\0';
  link->GetWorkingDirectory(text, MAX_PATH);
  PrintLine("workdir", text);
  int index = 0;
  text[0] = L'\0';
  result = link->GetIconLocation(text, MAX_PATH, &index);
  if (FAILED(result)) return Fail("GetIconLocation", result);
  std::wstring iconFile = text;
  PrintLine("icon", iconFile + L"," + std::to_wstring(index));
  PrintLine("icon-group", iconFile.empty() ? std::wstring() : IconGroupName(iconFile, index));
  return 0;
}
