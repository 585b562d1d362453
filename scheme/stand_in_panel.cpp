// The stand-in panel.
#include "scheme/stand_in_panel.h"

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "runtime/link.h"
#include "runtime/start_procs.h"

namespace fliran {

TStandInPanel::TStandInPanel() {
  TControl* app = CreateAppWindow("ФЛИРАН_1"_cp1251);
  form_ = CreateForm(app, "ФЛИРАН_1"_cp1251);
  form_->SetBoundsRect(RECT{0, 0, 442, 509});
  form_->CloseEvent = MakeMethod<&TStandInPanel::Closing>(this);
  form_->CreateControlWindow();  // as a window element's Init does: the window exists, still hidden
  AddStartProc(MakeMethod<&TStandInPanel::Start>(this));
}

TStandInPanel::~TStandInPanel() {
  // Normally the message loop's shutdown has freed the application window (and the form with
  // it); if the loop never ran, it is freed here.
  if (AppWindow != nullptr) {
    TControl* app = AppWindow;
    AppWindow = nullptr;
    app->Free();
  }
}

void TStandInPanel::Start() { form_->Show(); }

// Closing the main window ends link dispatch before the loop ends.
void TStandInPanel::Closing(TControl*, bool&) { DisableDispatch(); }

}  // namespace fliran
