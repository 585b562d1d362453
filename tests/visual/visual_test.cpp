// Helpers of the window element tests.
#include "visual_test.h"

#include "runtime/message_loop.h"
#include "runtime/modules.h"
#include "runtime/start_procs.h"

namespace fliran::test {

void Place(TKvornWin& win, RECT r) {
  win.Left = r.left;
  win.Top = r.top;
  win.Width = r.right - r.left;
  win.Height = r.bottom - r.top;
}

std::vector<int> Ints(const Recorder& rec) {
  std::vector<int> ints;
  for (const TData& d : rec.values) ints.push_back(ToInteger(d));
  return ints;
}

bool XInputOn(const std::string& caption, const std::string& commands) {
  return RunXdotool("search --sync --limit 1 --name '^" + caption + "$' windowraise " + commands) == 0;
}

std::string At(POINT p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

void ElementTest::SetUp() {
  static TProgramModules modules;  // the form list, the inner message, the default hint manager
  WithDispatch::SetUp();
}

TKvornMainForm* ElementTest::MakeForm(TControl* parent, RECT r, bool init) {
  forms_.push_back(std::make_unique<TKvornMainForm>(parent));
  TKvornMainForm* form = forms_.back().get();
  // The application window would be shown with the first form's window; a test has no use for
  // it, and every shown window costs its hide a wait for a window manager.
  if (AppWindow != nullptr) AppWindow->Hide();
  Place(*form, r);
  if (init) form->Init();
  return form;
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
