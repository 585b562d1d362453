// The message loop and shutdown, in process, on real windows.
#include <gtest/gtest.h>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "runtime/link.h"
#include "runtime/message_loop.h"
#include "runtime/start_procs.h"
#include "toolkit/control.h"
#include "toolkit/win.h"
#include "tests/toolkit/x_input.h"

namespace fliran {
namespace {

// Counts one message arriving at a window; leaves it to the window's own handling.
struct MessageCounter {
  UINT message;
  int count = 0;
  bool Count(TMsg& msg, LRESULT&) {
    if (msg.Message == message) ++count;
    return false;
  }
};

// Sets *flag when the object is destroyed.
void SetFreedFlag(TControl* control, bool* flag) {
  struct Flag {
    static void Set(void* data) { *static_cast<bool*>(data) = true; }
  };
  control->AddRelease(&Flag::Set, flag);
}

class MessageLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    AppWindow = nullptr;
    AppRunning = false;
    AppTerminated = false;
    app_ = CreateAppWindow("loop test");
    AppWindow = app_;
    form_ = CreateForm(app_, "ФОРМА"_cp1251);
    app_->MessageEvent = MakeMethod<&MessageCounter::Count>(&appCloses_);
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
  MessageCounter appCloses_{WM_CLOSE};
};

TEST_F(MessageLoop, QuitMessageEndsTheLoopOnceWithoutASecondClose) {
  PostQuitMessage(0);
  RunMessageLoop(AppWindow);
  EXPECT_TRUE(AppTerminated);
  EXPECT_FALSE(AppRunning);
  EXPECT_EQ(AppWindow, nullptr);
  EXPECT_EQ(appCloses_.count, 0);  // the quit message came first: no WM_CLOSE is sent
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
  EXPECT_EQ(appCloses_.count, 0);
}

TEST_F(MessageLoop, DrainGoesOnPastAMessageWithIdZero) {
  MessageCounter seen{WM_APP + 4};
  form_->MessageEvent = MakeMethod<&MessageCounter::Count>(&seen);
  PostMessageW(form_->Handle(), WM_NULL, 0, 0);
  PostMessageW(form_->Handle(), WM_APP + 4, 0, 0);
  EXPECT_TRUE(ProcessOneMessage(AppWindow));  // the WM_NULL was taken
  DrainMessages(AppWindow);
  EXPECT_EQ(seen.count, 1);
}

TEST_F(MessageLoop, ShutdownBeforeAnyQuitDrainsAndClosesOnce) {
  MessageCounter drained{WM_APP + 2};
  form_->MessageEvent = MakeMethod<&MessageCounter::Count>(&drained);
  PostMessageW(form_->Handle(), WM_APP + 2, 0, 0);
  const HWND appHandle = app_->Handle();
  const HWND formHandle = form_->Handle();
  bool appFreed = false;
  bool formFreed = false;
  SetFreedFlag(app_, &appFreed);
  SetFreedFlag(form_, &formFreed);
  ShutdownApp(AppWindow);
  EXPECT_EQ(drained.count, 1);
  EXPECT_EQ(appCloses_.count, 1);
  EXPECT_TRUE(AppTerminated);
  EXPECT_EQ(AppWindow, nullptr);
  // Everything is gone when ShutdownApp returns, without a later pump of the queue.
  EXPECT_TRUE(appFreed);
  EXPECT_TRUE(formFreed);
  EXPECT_FALSE(IsWindow(appHandle));
  EXPECT_FALSE(IsWindow(formHandle));
  ShutdownApp(AppWindow);  // nothing left: returns at once
}

TEST_F(MessageLoop, ShutdownAfterTheQuitMessageFreesEverythingToo) {
  bool appFreed = false;
  bool formFreed = false;
  SetFreedFlag(app_, &appFreed);
  SetFreedFlag(form_, &formFreed);
  PostQuitMessage(0);
  RunMessageLoop(AppWindow);
  EXPECT_TRUE(appFreed);
  EXPECT_TRUE(formFreed);
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
  MessageCounter seen{WM_APP + 3};
  app_->AppMessageFilter = MakeMethod<&Filter::OnMessage>(&filter);
  form_->MessageEvent = MakeMethod<&MessageCounter::Count>(&seen);
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
  ASSERT_NE(app_->Handle(), nullptr);
  // The application window follows the main form's Visible each time.
  for (const bool visible : {false, true, false}) {
    DisableDispatch();
    AddStartProc(MakeMethod<&Starter::Start>(&starter));
    starter.dispatching = false;
    ShowMainForm(visible);
    EXPECT_TRUE(starter.dispatching);
    EXPECT_EQ(IsWindowVisible(app_->Handle()) != FALSE, visible);
    EXPECT_EQ(StartProcCount(), 0u);
  }
  DisableDispatch();
}

}  // namespace
}  // namespace fliran
