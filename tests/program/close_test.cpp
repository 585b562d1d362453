// Closing the program the ways a user does: the close command of the main form (the window
// manager's close button and Alt+F4 both arrive as WM_SYSCOMMAND SC_CLOSE), the close command of
// the application window (its taskbar button), and Alt+F4 typed on the real panel.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "runtime/message_loop.h"
#include "tests/toolkit/toolkit_test.h"
#include "tests/toolkit/x_input.h"
#include "toolkit/control.h"
#include "toolkit/win.h"

namespace fliran {
namespace {

struct TCloseCount {
  int calls = 0;
  void OnClose(TControl*, bool&) { ++calls; }
};

// Ends a message loop that does not end by itself, so a fault fails the test instead of hanging.
struct TLoopWatchdog {
  static inline bool fired = false;
  UINT_PTR timer = 0;
  explicit TLoopWatchdog(UINT ms) {
    fired = false;
    timer = SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK {
      fired = true;
      PostQuitMessage(0);
    });
  }
  ~TLoopWatchdog() { KillTimer(nullptr, timer); }
};

// The application window and its main form, as the program makes them.
class CloseCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    AppWindow = nullptr;
    AppRunning = false;
    AppTerminated = false;
    app_ = test::HiddenApp("close command");
    form_ = test::HiddenForm(app_, "ФОРМА"_cp1251);
    app_->CloseEvent = MakeMethod<&TCloseCount::OnClose>(&appCloses_);
    form_->CloseEvent = MakeMethod<&TCloseCount::OnClose>(&formCloses_);
    ASSERT_TRUE(form_->CreateControlWindow());
    ASSERT_TRUE(form_->IsMainWindow());
    ASSERT_EQ(AppWindow, app_);
  }
  void TearDown() override {
    if (AppWindow != nullptr) ShutdownApp(AppWindow);
    AppRunning = false;
    AppTerminated = false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Runs the program's message loop; false when only the watchdog ended it.
  bool RunLoop() {
    TLoopWatchdog watchdog(20000);
    RunMessageLoop(AppWindow);
    return !TLoopWatchdog::fired;
  }

  TControl* app_ = nullptr;
  TControl* form_ = nullptr;
  TCloseCount appCloses_;
  TCloseCount formCloses_;
};

TEST_F(CloseCommand, OnTheMainFormEndsTheLoopAndClosesTheApplicationWindowOnce) {
  PostMessageW(form_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(RunLoop());
  EXPECT_TRUE(AppTerminated);
  EXPECT_EQ(AppWindow, nullptr);  // shut down and freed
  EXPECT_EQ(formCloses_.calls, 1);
  EXPECT_EQ(appCloses_.calls, 1);
}

TEST_F(CloseCommand, OnTheApplicationWindowClosesTheMainFormAndEndsTheLoop) {
  PostMessageW(app_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(RunLoop());
  EXPECT_TRUE(AppTerminated);
  EXPECT_EQ(AppWindow, nullptr);
  EXPECT_EQ(formCloses_.calls, 1);  // the command went on to the main form as WM_CLOSE
  EXPECT_EQ(appCloses_.calls, 1);
}

TEST_F(CloseCommand, RefusedByTheMainFormKeepsTheLoopRunning) {
  struct TRefuse {
    int calls = 0;
    int later = 0;
    void OnClose(TControl*, bool& accept) {
      ++calls;
      accept = false;
    }
    // A message posted after the close command: the loop still runs and handles it.
    bool OnMessage(TMsg& msg, LRESULT&) {
      if (msg.Message != WM_APP + 7) return false;
      ++later;
      PostQuitMessage(0);
      return true;
    }
  } refuse;
  form_->CloseEvent = MakeMethod<&TRefuse::OnClose>(&refuse);
  form_->MessageEvent = MakeMethod<&TRefuse::OnMessage>(&refuse);
  PostMessageW(form_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageW(form_->Handle(), WM_APP + 7, 0, 0);
  EXPECT_TRUE(RunLoop());
  EXPECT_EQ(refuse.calls, 1);
  EXPECT_EQ(refuse.later, 1);
  EXPECT_EQ(appCloses_.calls, 0);
}

// Counts every time a window is shown.
struct TShowWatch {
  HWND window = nullptr;
  int shows = 0;
  bool OnMessage(TMsg& msg, LRESULT&) {
    if (msg.Wnd != window) return false;
    if (msg.Message == WM_SHOWWINDOW && msg.WParam != 0) ++shows;
    if (msg.Message == WM_WINDOWPOSCHANGED &&
        (reinterpret_cast<const WINDOWPOS*>(msg.LParam)->flags & SWP_SHOWWINDOW) != 0) {
      ++shows;
    }
    return false;
  }
};

TEST_F(CloseCommand, ShownFormIsNotShownAgainWhileTheProgramShutsDown) {
  // Destroying the shown form activates the application window, whose focus hand-over must not
  // bring the form back while it goes.
  test::TXInputLock inputLock;  // shown windows take the foreground: not while a test types
  ASSERT_TRUE(inputLock.Held());
  app_->Show();
  form_->Show();
  SetForegroundWindow(form_->Handle());
  form_->Focus();
  ASSERT_TRUE(test::PumpUntil([&] { return form_->Focused(); }, 5000));
  ASSERT_EQ(app_->FocusedControl, form_);
  TShowWatch watch;
  watch.window = form_->Handle();
  form_->MessageEvent = MakeMethod<&TShowWatch::OnMessage>(&watch);
  PostMessageW(form_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(RunLoop());
  EXPECT_EQ(AppWindow, nullptr);
  EXPECT_EQ(watch.shows, 0);
  EXPECT_EQ(appCloses_.calls, 1);
}

// ---------------------------------------------------------------------------------------------
// The real program and real keys.

WideString PanelPath() { return test::ProgramBesideThis(L"fliran-panel.exe"); }

TEST(ClosingThePanel, AltF4AfterAClickEndsTheProgramWithExitCodeZero) {
  test::TXInputLock inputLock;
  ASSERT_TRUE(inputLock.Held());
  WideString commandLine = L"\"" + PanelPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(PanelPath().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process) != FALSE);
  HWND form = nullptr;
  ASSERT_TRUE(test::PumpUntil(
      [&] {
        form = test::VisibleWindowOf(process.dwProcessId, L"obj_Form");
        return form != nullptr || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
      },
      30000));
  ASSERT_NE(form, nullptr) << "the panel ended before its form was shown";

  // Wine names the X window of a top-level window in this property; raising exactly that window
  // keeps another program's window at the same place from taking the click.
  const auto xWindow = reinterpret_cast<std::uintptr_t>(GetPropW(form, L"__wine_x11_whole_window"));
  RECT r{};
  GetWindowRect(form, &r);
  const std::string x = std::to_string((r.left + r.right) / 2);
  const std::string y = std::to_string((r.top + r.bottom) / 2);
  std::string raise = xWindow != 0 ? "windowraise " + std::to_string(xWindow) + " " : std::string();
  EXPECT_EQ(test::RunXdotool(raise + "mousemove --sync " + x + " " + y + " click 1"), 0);
  // Alt+F4 goes to the active window: wait until the click has made the form active.
  EXPECT_TRUE(test::PumpUntil([&] { return GetForegroundWindow() == form; }, 10000))
      << "the click did not activate the panel's form";
  EXPECT_EQ(test::RunXdotool("key alt+F4"), 0);

  const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  DWORD code = 99;
  if (ended) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 99);
  }
  EXPECT_TRUE(ended) << "the panel was still running a minute after Alt+F4";
  EXPECT_EQ(code, 0u);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace
}  // namespace fliran
