// The module initialisations of start-up on Win32.
#include "runtime/modules.h"

#include "toolkit/str_list.h"
#include "toolkit/win.h"
#include "visual/hint_manager.h"

#include <commctrl.h>

namespace fliran {

namespace {

TObjPtr<TStrListEx> formList;
std::uint32_t innerMessageId = 0;

}  // namespace

TStrListEx* FormList() { return formList.get(); }
std::uint32_t InnerMessageId() { return innerMessageId; }

void InitCommonControlsAll(std::uint32_t classMask) {
  InitCommonControls();
  // Loaded once and kept for the life of the process.
  static const HMODULE commonControls = LoadLibraryW(L"comctl32.dll");
  if (commonControls == nullptr) return;
  using TInitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto initEx =
      reinterpret_cast<TInitEx>(reinterpret_cast<void*>(GetProcAddress(commonControls, "InitCommonControlsEx")));
  if (initEx == nullptr) return;  // an old comctl32: InitCommonControls is all there is
  const INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), classMask};
  initEx(&init);
}

TProgramModules::TProgramModules() {
  InitCommonControlsAll(0xFF);
  CreateDefaultHintManager();
  formList = MakeObj<TStrListEx>();
  innerMessageId = RegisterWindowMessageW(L"inner message");
}

// The hint manager's module does nothing at exit; only the form list goes.
TProgramModules::~TProgramModules() { formList.reset(); }

}  // namespace fliran
