// The hint manager on real tooltip windows.
#include <gtest/gtest.h>

#include "toolkit/win.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/cp1251.h"
#include "tests/toolkit/x_input.h"
#include "visual/hint_manager.h"

namespace fliran {
namespace {

// A plain window to attach tips to, destroyed with the test.
class HintManager : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), 0xFF};
    InitCommonControlsEx(&init);
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 10, 10, 120, 40, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
  }
  void TearDown() override { DestroyWindow(owner_); }

  // Shown windows take the foreground: keep out of the way of tests that send real keys.
  test::TXInputLock inputLock_;
  HWND owner_ = nullptr;
};

// Records the tracking messages a tip window receives.
std::vector<UINT> trackingMessages;
WNDPROC originalTipProc = nullptr;
LRESULT CALLBACK RecordingTipProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == TTM_TRACKACTIVATE || message == TTM_TRACKPOSITION) trackingMessages.push_back(message);
  return CallWindowProcW(originalTipProc, window, message, w, l);
}

TEST_F(HintManager, RegisterCreatesAConfiguredTipPerWindow) {
  TKvornHintManager manager;
  manager.InitialDelay = 700;
  manager.AutoPopDelay = 4000;
  manager.Margin = 3;
  manager.BackColor = 0x00123456;
  TKvornHintManager::THintId id = manager.RegisterTool(owner_);
  HWND tip = TKvornHintManager::TipWindow(id);
  ASSERT_TRUE(IsWindow(tip));

  wchar_t className[64] = {};
  GetClassNameW(tip, className, 64);
  EXPECT_STREQ(className, TOOLTIPS_CLASSW);
  const LONG_PTR style = GetWindowLongPtrW(tip, GWL_STYLE);
  EXPECT_EQ(style & (WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX), WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX);
  EXPECT_EQ(style & TTS_BALLOON, 0);
  EXPECT_NE(GetWindowLongPtrW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 700);
  EXPECT_EQ(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 4000);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tip, TTM_GETTIPBKCOLOR, 0, 0)), 0x00123456u);
  EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tip, TTM_GETTIPTEXTCOLOR, 0, 0)), GetSysColor(COLOR_INFOTEXT));
  RECT margin{};
  SendMessageW(tip, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
  EXPECT_EQ(margin.left, 3);
  EXPECT_EQ(margin.bottom, 3);
  EXPECT_NE(SendMessageW(tip, WM_GETFONT, 0, 0), 0);

  TKvornHintManager::THintId second = manager.RegisterTool(owner_);
  EXPECT_NE(TKvornHintManager::TipWindow(second), tip);
}

TEST_F(HintManager, NonRectangularManagerMakesBalloons) {
  TKvornHintManager manager;
  manager.Rectangular = 0;
  HWND tip = TKvornHintManager::TipWindow(manager.RegisterTool(owner_));
  EXPECT_NE(GetWindowLongPtrW(tip, GWL_STYLE) & TTS_BALLOON, 0);
}

TEST_F(HintManager, TextRoundTripsInCyrillic) {
  TKvornHintManager manager;
  TKvornHintManager::THintId id = manager.Interface.RegisterTool(owner_);
  manager.Interface.SetToolText(id, std::string("ПОВОРОТ ГЛАЗ"_cp1251));
  wchar_t text[80] = {};
  TOOLINFOW info{};
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = owner_;
  info.uId = reinterpret_cast<UINT_PTR>(owner_);
  info.lpszText = text;
  SendMessageW(TKvornHintManager::TipWindow(id), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(WideToCp1251(text), "ПОВОРОТ ГЛАЗ"_cp1251);
}

TEST_F(HintManager, TrackingOperationsSendNothingUnlessTracking) {
  TKvornHintManager manager;
  TKvornHintManager::THintId id = manager.RegisterTool(owner_);
  HWND tip = TKvornHintManager::TipWindow(id);
  trackingMessages.clear();
  originalTipProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(tip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingTipProc)));

  manager.TrackShow(id);
  manager.TrackMove(id, 100, 200);
  manager.TrackHide(id);
  EXPECT_TRUE(trackingMessages.empty());

  manager.Tracking = 1;
  manager.Interface.TrackShow(id);
  manager.Interface.TrackMove(id, 100, 200);
  manager.Interface.TrackHide(id);
  EXPECT_EQ(trackingMessages, (std::vector<UINT>{TTM_TRACKACTIVATE, TTM_TRACKPOSITION, TTM_TRACKACTIVATE}));
  SetWindowLongPtrW(tip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalTipProc));
}

TEST_F(HintManager, UnregisterDestroysTheTipAndItsFont) {
  TKvornHintManager manager;
  TKvornHintManager::THintId id = manager.RegisterTool(owner_);
  HWND tip = TKvornHintManager::TipWindow(id);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(tip, WM_GETFONT, 0, 0));
  ASSERT_NE(font, nullptr);
  manager.Interface.UnregisterTool(id);
  EXPECT_FALSE(IsWindow(tip));
  LOGFONTW unused;
  EXPECT_EQ(GetObjectW(font, sizeof unused, &unused), 0);
}

TEST_F(HintManager, DestroyingTheManagerReleasesRemainingTips) {
  HWND tip = nullptr;
  {
    TKvornHintManager manager;
    tip = TKvornHintManager::TipWindow(manager.RegisterTool(owner_));
    ASSERT_TRUE(IsWindow(tip));
  }
  EXPECT_FALSE(IsWindow(tip));
}

// The default manager's module does nothing at exit: a tip of the default manager must still be
// there when the process ends. Its window procedure ends the process with a failing code if the
// tip is destroyed after the test has passed (by a destructor run during static destruction).
WNDPROC tipProcBeforeExit = nullptr;
LRESULT CALLBACK FailWhenDestroyedProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_DESTROY) {
    std::fputs("the default hint manager destroyed a tip after the test\n", stderr);
    std::_Exit(3);
  }
  return CallWindowProcW(tipProcBeforeExit, window, message, w, l);
}

TEST(DefaultHintManager, IsCreatedOnceAndLeavesItsTipsAloneAtExit) {
  CreateDefaultHintManager();
  TKvornHintManager* manager = DefaultHintManager();
  ASSERT_NE(manager, nullptr);
  CreateDefaultHintManager();
  EXPECT_EQ(DefaultHintManager(), manager);
  // The owner stays until the process ends, so only the manager could destroy the tip.
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 10, 10, 120, 40, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  HWND tip = TKvornHintManager::TipWindow(manager->RegisterTool(owner));
  ASSERT_TRUE(IsWindow(tip));
  tipProcBeforeExit = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(tip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FailWhenDestroyedProc)));
  ASSERT_NE(tipProcBeforeExit, nullptr);
}

}  // namespace
}  // namespace fliran
