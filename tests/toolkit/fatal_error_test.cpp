// An exception that reaches a window procedure: the user is shown what failed in a message box,
// then the program ends with exit code 3. The failing program is this test program itself,
// started again in a mode that throws from a message handler.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "runtime/cp1251.h"
#include "toolkit/control.h"
#include "toolkit/win.h"
#include "toolkit_test.h"
#include "x_input.h"

namespace fliran {
namespace {

constexpr wchar_t ThrowingModeVariable[] = L"FLIRAN_TEST_THROW_FROM_HANDLER";
constexpr UINT ThrowingMessage = WM_APP + 3;

bool ThrowingHandler(TMsg& msg, LRESULT&) {
  if (msg.Message == ThrowingMessage) throw std::runtime_error(std::string("handler failed: ОШИБКА"_cp1251));
  return false;
}

// The first visible message box of the process, waiting up to 30 s; null when none shows.
HWND WaitForBox(const PROCESS_INFORMATION& process) {
  const ULONGLONG deadline = GetTickCount64() + 30000;
  while (GetTickCount64() < deadline) {
    if (HWND box = test::VisibleWindowOf(process.dwProcessId, L"#32770"); box != nullptr) return box;
    if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

TEST(FatalError, HandlerExceptionIsShownInAMessageBoxAndEndsTheProgramWithCode3) {
  if (GetEnvironmentVariableW(ThrowingModeVariable, nullptr, 0) != 0) {
    // The started copy: a handler throws while a message is handled.
    TControl* form = test::HiddenForm(nullptr, "throwing");
    form->MessageEvent = MakeProc<&ThrowingHandler>();
    ASSERT_TRUE(form->CreateControlWindow());
    SendMessageW(form->Handle(), ThrowingMessage, 0, 0);
    ADD_FAILURE() << "the program went on after the exception";
    return;
  }
  test::TXInputLock inputLock;  // the box takes the foreground
  ASSERT_TRUE(inputLock.Held());
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = std::string(info->test_suite_name()) + "." + info->name();  // this test only
  WideString commandLine = L"\"" + WideString(self) + L"\" --gtest_filter=";
  commandLine += WideString(filter.begin(), filter.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  SetEnvironmentVariableW(ThrowingModeVariable, L"1");  // inherited by the started copy only
  const bool started = CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                      &process) != FALSE;
  SetEnvironmentVariableW(ThrowingModeVariable, nullptr);
  ASSERT_TRUE(started);
  HWND box = WaitForBox(process);
  EXPECT_NE(box, nullptr) << "no message box";
  if (box != nullptr) {
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);  // the box's static text
    EXPECT_NE(WideString(text).find(L"handler failed: ОШИБКА"), WideString::npos)
        << WideToCp1251(text);
    wchar_t caption[64] = {};
    GetWindowTextW(box, caption, 64);
    EXPECT_EQ(WideString(caption), L"Внутренняя ошибка");
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  } else {
    TerminateProcess(process.hProcess, 99);
    ADD_FAILURE() << "the program did not end";
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(code, 3u);
}

}  // namespace
}  // namespace fliran
