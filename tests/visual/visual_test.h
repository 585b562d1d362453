// Helpers of the window element tests: the program's modules, a plain window element over one
// standard control, forms that live until the end of a test, and real X input on a window.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "runtime/app.h"
#include "runtime/link.h"
#include "tests/core/test_points.h"
#include "tests/toolkit/toolkit_test.h"
#include "tests/toolkit/x_input.h"
#include "toolkit/control.h"
#include "visual/main_form.h"
#include "visual/win.h"

namespace fliran::test {

using fliran::testing::Recorder;
using fliran::testing::ValueSource;

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

void Place(TKvornWin& win, RECT r);
// The integers a recorder received.
std::vector<int> Ints(const Recorder& rec);
// Raises the top-level window titled caption, then runs the xdotool commands; true on success.
bool XInputOn(const std::string& caption, const std::string& commands);
std::string At(POINT p);  // "x y" for xdotool

// Dispatch on, the program's modules made and the process-wide state reset. Forms made with
// MakeForm live until the end of the test; the start procedures still listed then run (the forms
// hidden), so that none is left for the next test. Then the application window is shut down and
// the message queue emptied.
class ElementTest : public fliran::testing::WithDispatch {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A form at bounds r; with init, Init has run (the window exists, still hidden).
  TKvornMainForm* MakeForm(TControl* parent = nullptr, RECT r = {}, bool init = false);
  TAppStateGuard state_;
  std::vector<std::unique_ptr<TKvornMainForm>> forms_;
};

}  // namespace fliran::test
