// The message loop and shutdown, in process, on real windows.
#include <gtest/gtest.h>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "runtime/link.h"
#include "toolkit/control.h"
#include "toolkit/win.h"
#include "tests/toolkit/x_input.h"

namespace fliran {
namespace {

// Counts WM_CLOSE arriving at a window.
struct CloseCounter {
  int closes = 0;
  bool Count(TMsg& msg, LRESULT&) {
    if (msg.Message == WM_CLOSE) ++closes;
    return false;
  }
};

class MessageLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    AppWindow = nullptr;
    AppRunning = false;
    AppTerminated = false;
    app_ = CreateAppWindow("loop test");
    AppWindow = app_;
    form_ = CreateForm(app_, "ФОРМА"_cp1251);
    app_->MessageEvent = MakeMethod<&CloseCounter::Count>(&appCloses_);
    ASSERT_TRUE(form_->CreateControlWindow());
  }
  void TearDown() override {
    if (AppWindow != nullptr) ShutdownApp(AppWindow);
    AppTerminated = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Shown windows take the foreground: keep out of the way of tests that send real keys.
  test::TXInputLock inputLock_;
  TControl* app_ = nullptr;
  TControl* form_ = nullptr;
  CloseCounter appCloses_;
};

TEST_F(MessageLoop, QuitMessageEndsTheLoopOnceWithoutASecondClose) {
  PostQuitMessage(0);
  RunMessageLoop(AppWindow);
  EXPECT_TRUE(AppTerminated);
  EXPECT_FALSE(AppRunning);
  EXPECT_EQ(AppWindow, nullptr);
  EXPECT_EQ(appCloses_.closes, 0);  // the quit message came first: no WM_CLOSE is sent
}

TEST_F(MessageLoop, QuitPostedWhileAHandlerDrainsEndsAtTheNextTest) {
  // A handler that drains the queue itself takes the quit message; the loop notices it after
  // that drain and ends without waiting for more messages.
  struct Drainer {
    int drains = 0;
    bool OnMessage(TMsg& msg, LRESULT&) {
      if (msg.Message == WM_APP + 1) {
        ++drains;
        PostQuitMessage(0);
        DrainMessages(AppWindow);
        return true;
      }
      return false;
    }
  } drainer;
  form_->MessageEvent = MakeMethod<&Drainer::OnMessage>(&drainer);
  PostMessageW(form_->Handle(), WM_APP + 1, 0, 0);
  RunMessageLoop(AppWindow);
  EXPECT_EQ(drainer.drains, 1);
  EXPECT_TRUE(AppTerminated);
  EXPECT_EQ(appCloses_.closes, 0);
}

TEST_F(MessageLoop, ShutdownBeforeAnyQuitDrainsAndClosesOnce) {
  bool drained = false;
  struct Flag {
    bool* seen;
    bool OnMessage(TMsg& msg, LRESULT&) {
      if (msg.Message == WM_APP + 2) *seen = true;
      return false;
    }
  } flag{&drained};
  form_->MessageEvent = MakeMethod<&Flag::OnMessage>(&flag);
  PostMessageW(form_->Handle(), WM_APP + 2, 0, 0);
  ShutdownApp(AppWindow);
  EXPECT_TRUE(drained);
  EXPECT_EQ(appCloses_.closes, 1);
  EXPECT_TRUE(AppTerminated);
  EXPECT_EQ(AppWindow, nullptr);
  ShutdownApp(AppWindow);  // nothing left: returns at once
}

TEST_F(MessageLoop, AppMessageFilterSeesMessagesBeforeDispatch) {
  struct Filter {
    int taken = 0;
    bool OnMessage(TControl*, MSG& msg) {
      if (msg.message != WM_APP + 3) return false;
      ++taken;
      return true;
    }
  } filter;
  struct Seen {
    int count = 0;
    bool OnMessage(TMsg& msg, LRESULT&) {
      if (msg.Message == WM_APP + 3) ++count;
      return false;
    }
  } seen;
  app_->AppMessageFilter = MakeMethod<&Filter::OnMessage>(&filter);
  form_->MessageEvent = MakeMethod<&Seen::OnMessage>(&seen);
  PostMessageW(form_->Handle(), WM_APP + 3, 0, 0);
  EXPECT_TRUE(ProcessOneMessage(AppWindow));
  EXPECT_EQ(filter.taken, 1);
  EXPECT_EQ(seen.count, 0);
  EXPECT_FALSE(AppTerminated);
}

TEST_F(MessageLoop, ShowMainFormSwitchesDispatchOnAndRunsStartProcs) {
  struct Starter {
    bool dispatching = false;
    void Start() { dispatching = DispatchHooks.Fire == &DispatchEvent; }
  } starter;
  DisableDispatch();
  AddStartProc(MakeMethod<&Starter::Start>(&starter));
  ShowMainForm(true);
  EXPECT_TRUE(starter.dispatching);
  EXPECT_TRUE(IsWindowVisible(app_->Handle()) != FALSE || !app_->Handle());
  DisableDispatch();
}

}  // namespace
}  // namespace fliran
