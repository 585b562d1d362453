// TKvornButton.
#include "visual/button.h"

#include "toolkit/win.h"

namespace fliran {

void TKvornButton::Init() {
  AdoptControl(CreateButton(Parent, Caption));
  Control->ClickEvent = MakeMethod<&TKvornButton::Click>(this);
  if (Default) Control->SetDefaultButton(true);
  Control->AddStyle(BS_MULTILINE);
  TKvornWin::Init();
}

void TKvornButton::Click(TControl*) { FireData(outClick, &Data); }

}  // namespace fliran
