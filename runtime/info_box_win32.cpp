// The information box of the "/ih" switch on Win32.
#include "runtime/info_box.h"

#include "runtime/cp1251.h"
#include "toolkit/win.h"

namespace fliran {

void ShowInfoBox() {
  MessageBoxW(nullptr, Cp1251ToWide("Сделано в Kvorn."_cp1251).c_str(), L"Kvorn Info", 0);
}

}  // namespace fliran
