// Helpers of the window element tests.
#include "visual_test.h"

#include "runtime/message_loop.h"
#include "runtime/modules.h"

namespace fliran::test {

void EnsureProgramModules() {
  static TProgramModules modules;
}

void ElementTest::SetUp() {
  EnsureProgramModules();
  WithDispatch::SetUp();
}

void ElementTest::TearDown() {
  WithDispatch::TearDown();
  if (AppWindow != nullptr) ShutdownApp(AppWindow);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace fliran::test
