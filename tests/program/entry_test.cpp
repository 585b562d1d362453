// The program as a separate process: the /ih switch, a normal start and close, and a start whose
// panel cannot be built.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "runtime/cp1251.h"
#include "tests/toolkit/toolkit_test.h"
#include "tests/toolkit/x_input.h"
#include "toolkit/win.h"

namespace fliran {
namespace {

WideString PanelPath() { return test::ProgramBesideThis(L"" FLIRAN_PANEL_EXE); }
// The program's entry with a panel whose construction throws at its twelfth element.
WideString FailingPanelPath() { return test::ProgramBesideThis(L"" FLIRAN_FAILING_PANEL_EXE); }

struct WindowInfo {
  HWND window;
  WideString className;
};

std::vector<WindowInfo> WindowsOf(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<WindowInfo> found;
  } search{processId, {}};
  EnumWindows(
      [](HWND window, LPARAM parameter) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s->processId) return TRUE;
        wchar_t name[128] = {};
        GetClassNameW(window, name, 128);
        s->found.push_back({window, name});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

WideString TitleOf(HWND window) {
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  return title;
}

void ExpectInfoBox(const WideString& arguments) {
  test::TXInputLock inputLock;  // the box takes the foreground
  SCOPED_TRACE(std::string(arguments.begin(), arguments.end()));
  test::TChildProcess panel(PanelPath(), arguments);
  ASSERT_TRUE(panel.Started());
  HWND box = panel.WaitForWindow(L"#32770");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(TitleOf(box), L"Kvorn Info");
  wchar_t text[128] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 128);
  EXPECT_EQ(WideToCp1251(text), "Сделано в Kvorn."_cp1251);
  for (const WindowInfo& w : WindowsOf(panel.Id())) {
    EXPECT_NE(w.className.rfind(L"obj_", 0), 0u) << "a panel window exists: " << std::string(w.className.begin(), w.className.end());
  }
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(panel.ExitCode(), 0);
}

void ExpectPanelStarts(const WideString& arguments) {
  test::TXInputLock inputLock;  // the panel takes the foreground
  SCOPED_TRACE(std::string(arguments.begin(), arguments.end()));
  test::TChildProcess panel(PanelPath(), arguments);
  ASSERT_TRUE(panel.Started());
  HWND form = panel.WaitForWindow(L"obj_Form");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(WideToCp1251(TitleOf(form)), "ФЛИРАН_1"_cp1251);
  for (const WindowInfo& w : WindowsOf(panel.Id())) EXPECT_NE(w.className, L"#32770");
  PostMessageW(form, WM_CLOSE, 0, 0);
  EXPECT_EQ(panel.ExitCode(), 0);
}

TEST(ProgramEntry, InfoSwitchShowsTheBoxAndExitsWithZero) {
  ExpectInfoBox(L"/ih");
  ExpectInfoBox(L"\"/ih\"");
  ExpectInfoBox(L"\"\" /ih");
  ExpectInfoBox(L"/ih ignored");
}

TEST(ProgramEntry, AnythingElseStartsThePanelAndClosingExitsWithZero) {
  ExpectPanelStarts(L"");
  ExpectPanelStarts(L"/IH");
  ExpectPanelStarts(L"x /ih");
}

TEST(ProgramEntry, FailingConstructionDestroysWhatWasBuiltShowsTheErrorBoxAndExitsWithCode3) {
  test::TXInputLock inputLock;  // the box takes the foreground
  ASSERT_TRUE(inputLock.Held());
  test::TChildProcess panel(FailingPanelPath(), L"");
  ASSERT_TRUE(panel.Started());
  HWND box = panel.WaitForWindow(L"#32770");
  ASSERT_NE(box, nullptr) << "no error box";
  EXPECT_EQ(WideToCp1251(TitleOf(box)), "Внутренняя ошибка"_cp1251);
  wchar_t text[512] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 512);
  EXPECT_NE(WideToCp1251(text).find("панель не построена"_cp1251), std::string::npos) << WideToCp1251(text);
  // The form, its eleven elements after it and the application window went before the box came.
  for (const WindowInfo& w : WindowsOf(panel.Id())) {
    EXPECT_NE(w.className.rfind(L"obj_", 0), 0u) << "a panel window is left: " << WideToCp1251(w.className);
  }
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(panel.ExitCode(), 3);
}

}  // namespace
}  // namespace fliran
