// Helpers of the window element tests: the program's modules, a plain window element over one
// standard control, and an owner of the application window that a main form element makes.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/app.h"
#include "runtime/link.h"
#include "tests/core/test_points.h"
#include "tests/toolkit/toolkit_test.h"
#include "toolkit/control.h"
#include "visual/main_form.h"
#include "visual/win.h"

namespace fliran::test {

// The form list, the inner message and the default hint manager, made once per process.
void EnsureProgramModules();

// A window element over an edit box (the kind that takes keys) or a label.
struct TTestWin : TKvornWin {
  using TKvornWin::TKvornWin;
  bool label = false;
  int consumeKey = 0;  // KeyDown consumes this key
  void Init() override {
    AdoptControl(label ? CreateLabel(Parent, "") : CreateEditBox(Parent, 0));
    TKvornWin::Init();
  }
  void KeyDown(int& key) override {
    if (key == consumeKey) {
      key = 0;
      return;
    }
    TKvornWin::KeyDown(key);
  }
};

// Dispatch on and the process-wide state reset. Forms made with MakeForm live until the end of
// the test: their start procedures run (hidden) before they go, since the start list cannot
// forget them. Then the application window is shut down and the message queue emptied.
class ElementTest : public fliran::testing::WithDispatch {
 protected:
  void SetUp() override;
  void TearDown() override;
  TKvornMainForm* MakeForm(TControl* parent = nullptr);
  TAppStateGuard state_;
  std::vector<std::unique_ptr<TKvornMainForm>> forms_;
};

}  // namespace fliran::test
