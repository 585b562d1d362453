// Program entry: the trace switch, module initialisations, the /ih switch, the panel, the message loop, teardown.
#include "runtime/app.h"
#include "runtime/command_line.h"
#include "runtime/info_box.h"
#include "runtime/message_loop.h"
#include "runtime/modules.h"
#include "runtime/trace_socket.h"
#include "scheme/panel.h"
#include "toolkit/fatal_error.h"
#include "toolkit/win.h"

#include <memory>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace fliran;
  ApplyTraceSwitch();  // before the hint manager, the first element, is made
  TProgramModules modules;
  if (CommandLineArg(1) == "/ih") {
    ShowInfoBox();
    return 0;
  }
  std::unique_ptr<TClassMainForm_14B8550> panel;
  try {
    // A construction that fails has destroyed the elements it made, the last made first, by
    // the time the exception arrives here.
    panel = std::make_unique<TClassMainForm_14B8550>();
    SchemeInstance = panel.get();
    ShowMainForm(panel->MainForm->Visible);
    RunMessageLoop(AppWindow);
    panel.reset();
  } catch (...) {
    // Without this the runtime would end the program without a word and without unwinding.
    FatalError("WinMain");
  }
  return 0;
}
