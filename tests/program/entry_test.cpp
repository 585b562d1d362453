// The program as a separate process: the /ih switch and a normal start and close.
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

std::wstring PanelPath() { return test::ProgramBesideThis(L"" FLIRAN_PANEL_EXE); }

struct WindowInfo {
  HWND window;
  std::wstring className;
  std::wstring title;
  bool visible;
};

std::vector<WindowInfo> WindowsOf(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<WindowInfo> found;
  } search{processId, {}};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* s = reinterpret_cast<Search*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s->processId) return TRUE;
        wchar_t name[128] = {};
        wchar_t title[256] = {};
        GetClassNameW(window, name, 128);
        GetWindowTextW(window, title, 256);
        s->found.push_back({window, name, title, IsWindowVisible(window) != FALSE});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Runs the panel with the given argument text; closes it through its first visible window of
// windowClass and answers that window's information.
class Panel {
 public:
  explicit Panel(const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + PanelPath() + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessW(PanelPath().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process_) != FALSE;
  }
  ~Panel() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  bool Started() const { return started_; }

  // The first visible window of the class, waiting up to 30 s for it.
  bool WaitForWindow(const wchar_t* className, WindowInfo* info) {
    const ULONGLONG deadline = GetTickCount64() + 30000;
    while (GetTickCount64() < deadline) {
      for (const WindowInfo& w : WindowsOf(process_.dwProcessId)) {
        if (w.visible && w.className == className) {
          *info = w;
          return true;
        }
      }
      if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return false;
    }
    return false;
  }
  std::vector<WindowInfo> Windows() const { return WindowsOf(process_.dwProcessId); }

  // The exit code, or -1 when the process does not end within 30 s.
  long ExitCode() {
    if (WaitForSingleObject(process_.hProcess, 30000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

void ExpectInfoBox(const std::wstring& arguments) {
  test::TXInputLock inputLock;  // the box takes the foreground
  SCOPED_TRACE(std::string(arguments.begin(), arguments.end()));
  Panel panel(arguments);
  ASSERT_TRUE(panel.Started());
  WindowInfo box{};
  ASSERT_TRUE(panel.WaitForWindow(L"#32770", &box));
  EXPECT_EQ(box.title, L"Kvorn Info");
  wchar_t text[128] = {};
  GetDlgItemTextW(box.window, 0xFFFF, text, 128);
  EXPECT_EQ(WideToCp1251(text), "Сделано в Kvorn."_cp1251);
  for (const WindowInfo& w : panel.Windows()) {
    EXPECT_NE(w.className.rfind(L"obj_", 0), 0u) << "a panel window exists: " << std::string(w.className.begin(), w.className.end());
  }
  PostMessageW(box.window, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(panel.ExitCode(), 0);
}

void ExpectPanelStarts(const std::wstring& arguments) {
  test::TXInputLock inputLock;  // the panel takes the foreground
  SCOPED_TRACE(std::string(arguments.begin(), arguments.end()));
  Panel panel(arguments);
  ASSERT_TRUE(panel.Started());
  WindowInfo form{};
  ASSERT_TRUE(panel.WaitForWindow(L"obj_Form", &form));
  EXPECT_EQ(WideToCp1251(form.title), "ФЛИРАН_1"_cp1251);
  for (const WindowInfo& w : panel.Windows()) EXPECT_NE(w.className, L"#32770");
  PostMessageW(form.window, WM_CLOSE, 0, 0);
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

}  // namespace
}  // namespace fliran
