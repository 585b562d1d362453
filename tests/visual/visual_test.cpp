// Helpers of the window element tests.
#include "visual_test.h"

#include "runtime/message_loop.h"
#include "runtime/modules.h"
#include "runtime/start_procs.h"

namespace fliran::test {

void EnsureProgramModules() {
  static TProgramModules modules;
}

void ElementTest::SetUp() {
  EnsureProgramModules();
  WithDispatch::SetUp();
}

TKvornMainForm* ElementTest::MakeForm(TControl* parent) {
  forms_.push_back(std::make_unique<TKvornMainForm>(parent));
  // The application window would be made visible with the first form's window; a test has no
  // use for it shown, and a shown window costs its hide a wait for a window manager.
  if (AppWindow != nullptr) AppWindow->Hide();
  return forms_.back().get();
}

void ElementTest::TearDown() {
  WithDispatch::TearDown();
  for (auto& form : forms_) form->Visible = false;
  RunStartProcs();
  while (!forms_.empty()) forms_.pop_back();
  if (AppWindow != nullptr) ShutdownApp(AppWindow);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace fliran::test
