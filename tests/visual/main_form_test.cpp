// The main form element: the application window it makes and speaks for, border styles,
// opacity, the start, following the main form, the close procedure (the close command typed for
// real), and the registry and ini position stores read back from outside the element.
#include <cstdio>
#include <memory>
#include <string>

#include "runtime/cp1251.h"
#include "runtime/message_loop.h"
#include "runtime/modules.h"
#include "runtime/start_procs.h"
#include "toolkit/ini_file.h"
#include "toolkit/str_list.h"
#include "toolkit/win.h"
#include "visual_test.h"

namespace fliran {
namespace {

using test::Recorder;
using MainForm = test::ElementTest;

TEST_F(MainForm, OnlyTheFirstFormSpeaksForTheApplicationWindow) {
  TKvornMainForm* main = MakeForm();
  TKvornMainForm* second = MakeForm();
  EXPECT_TRUE(main->IsMain && !second->IsMain);
  main->SetCaption("ФЛИРАН_1"_cp1251);
  second->SetCaption("второе"_cp1251);
  EXPECT_EQ(AppWindow->GetText(), "ФЛИРАН_1"_cp1251);
  HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32516));  // IDI_INFORMATION
  main->SetIcon(icon);
  EXPECT_EQ(AppWindow->Icon(), icon);
  second->SetIcon(nullptr);  // takes its parent's, the application window's
  EXPECT_EQ(second->Control->Icon(), icon);
  second->SetHideFromTaskbar(1);
  EXPECT_EQ(AppWindow->ExStyle(), static_cast<DWORD>(WS_EX_APPWINDOW));
  main->SetHideFromTaskbar(1);
  EXPECT_EQ(AppWindow->ExStyle(), 0x81u);
}

TEST_F(MainForm, BorderStylesSetTheirRowOfStyleBits) {
  struct Row {
    DWORD style, exStyle;
  } const rows[] = {
      {0, 0},
      {0xC20000, 0},
      {0xC70000, 0},
      {0xC00000, 0x100},
      {0xC00000, 0x80},
      {0xC40000, 0x80},
      {0, 0x1},
      {0x40000, 0x80},
      {0, 0x201},
      {0x40000, 0x200},
      {0x40000, 0x200},  // 10 changes nothing
  };
  TKvornMainForm* form = MakeForm();
  for (std::uint8_t value = 0; value < std::size(rows); ++value) {
    SCOPED_TRACE(int(value));
    form->SetBorderStyle(value);
    EXPECT_EQ(form->Control->Style() & 0x00C70000, rows[value].style);
    // The client edge of rows 8 and 9 lies outside the cleared bits 0x181: it stays once set.
    EXPECT_EQ(form->Control->ExStyle() & 0x381, rows[value].exStyle);
  }
}

TEST_F(MainForm, OpacityBelow255MakesTheWindowLayered) {
  for (const std::uint8_t opacity : {std::uint8_t{255}, std::uint8_t{128}}) {
    SCOPED_TRACE(int(opacity));
    TKvornMainForm* form = MakeForm();
    form->Opacity = opacity;
    form->Init();
    BYTE alpha = 0;
    const bool layered = GetLayeredWindowAttributes(form->Control->Handle(), nullptr, &alpha, nullptr) != FALSE;
    EXPECT_EQ(layered, opacity < 255);
    EXPECT_EQ(layered ? alpha : 255, opacity);
  }
}

TEST_F(MainForm, StartFiresOutStartThenShowsTheFormInItsWindowState) {
  test::TXInputLock inputLock;  // shown windows take the foreground
  ASSERT_TRUE(inputLock.Held());
  for (const std::uint8_t state : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{2}}) {
    SCOPED_TRACE(int(state));
    TKvornMainForm* form = MakeForm(nullptr, RECT{700, 500, 900, 650});
    form->WindowState = state;
    form->Init();
    HWND wnd = form->Control->Handle();
    Recorder starts;
    starts.onValue = [&](TData*) { EXPECT_FALSE(IsWindowVisible(wnd)); };
    form->outStart = starts.Link();
    RunStartProcs();
    EXPECT_EQ(starts.values.size(), 1u);
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_EQ(IsIconic(wnd) != FALSE, state == 1);
    EXPECT_EQ(IsZoomed(wnd) != FALSE, state == 2);
    form->Control->Hide();
  }
}

TEST_F(MainForm, MovingTheMainFormMovesTheApplicationWindowAndItsFollowers) {
  TKvornMainForm* main = MakeForm(nullptr, RECT{0, 0, 200, 100});
  main->WinName = "main";
  main->Init();
  TKvornMainForm* follower = MakeForm(nullptr, RECT{0, 0, 50, 50});
  follower->FollowTarget = &main->GetControlLink();
  follower->FollowX = 10;
  follower->FollowY = 20;
  follower->Init();
  EXPECT_EQ(FormList()->IndexOfObject(follower->Control->Handle()), 0);  // only secondary forms
  EXPECT_EQ(FormList()->IndexOfObject(main->Control->Handle()), -1);
  Recorder moves;
  main->outMove = moves.Link();
  main->Control->SetBoundsRect(RECT{100, 120, 400, 320});
  EXPECT_TRUE(test::PumpUntil([&] { return follower->Control->Left() == 110 && follower->Control->Top() == 140; }));
  EXPECT_EQ(moves.values.size(), 1u);
  const RECT app = AppWindow->BoundsRect();
  EXPECT_EQ(app.left * 10000 + app.top, 100 * 10000 + 120);
  EXPECT_EQ(app.right - app.left, 300);
}

TEST_F(MainForm, AFormThatGoesBeforeTheStartTakesItsStartProcedureAndFormListEntryAlong) {
  MakeForm()->Visible = false;  // the main form: the forms below are secondary ones, listed in the form list
  for (const bool windowFirst : {false, true}) {
    SCOPED_TRACE(windowFirst ? "its window destroyed first" : "window and element together");
    const std::size_t procs = StartProcCount();
    auto form = std::make_unique<TKvornMainForm>();
    form->Init();
    const HWND wnd = form->Control->Handle();
    ASSERT_EQ(FormList()->IndexOfObject(wnd), 0);
    ASSERT_EQ(StartProcCount(), procs + 1);
    Recorder starts;
    form->outStart = starts.Link();
    if (windowFirst) {
      DestroyWindow(wnd);
      test::PumpQueued();
    }
    form.reset();
    EXPECT_EQ(StartProcCount(), procs);
    EXPECT_EQ(FormList()->IndexOfObject(wnd), -1);
    RunStartProcs();
    EXPECT_TRUE(starts.values.empty());
  }
}

TEST_F(MainForm, UserCloseIsRefusedByDataCancelCloseAndAForcedCloseIsNot) {
  struct Row {
    const char* what;
    bool cancelLinked;
    LPARAM forced;
    bool closes;
  } const rows[] = {{"refused", true, 0, false}, {"forced", true, 1, true}, {"unlinked", false, 0, true}};
  TKvornMainForm* form = MakeForm(nullptr, RECT{0, 0, 200, 100}, true);
  test::ValueSource cancel;
  cancel.value = fliran::testing::IntValue(1);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EnableDispatch();
    form->dataCancelClose = row.cancelLinked ? cancel.Link() : TKvorn_Event{};
    Recorder closes;
    form->outClose = closes.Link();
    SendMessageW(form->Control->Handle(), WM_CLOSE, 0, row.forced);
    EXPECT_EQ(closes.values.size(), row.closes ? 1u : 0u);
    EXPECT_EQ(test::TakeQuitMessage(), row.closes);
    EXPECT_EQ(DispatchHooks.Fire == &IdleFire, row.closes);  // dispatch off after outClose
  }
}

TEST_F(MainForm, SecondaryFormsAreOnlyHiddenAndClosingTheMainFormClosesItsChildForms) {
  test::TXInputLock inputLock;
  ASSERT_TRUE(inputLock.Held());
  TKvornMainForm* main = MakeForm(nullptr, RECT{700, 500, 900, 650}, true);
  TKvornMainForm* secondary = MakeForm(nullptr, RECT{720, 520, 820, 600}, true);
  TKvornMainForm* child = MakeForm(main->Control, RECT{740, 540, 840, 620}, true);
  test::ValueSource cancel;
  cancel.value = fliran::testing::IntValue(1);
  child->dataCancelClose = cancel.Link();

  secondary->Control->Show();
  SendMessageW(secondary->Control->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(secondary->Control->Visible());
  EXPECT_TRUE(IsWindow(secondary->Control->Handle()));
  EXPECT_FALSE(test::TakeQuitMessage()) << "a secondary form ended the program";

  child->Control->Show();
  SendMessageW(child->Control->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(child->Control->Visible()) << "its own refusal applies to a user's close";
  SendMessageW(main->Control->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(child->Control->Visible()) << "not closed with the main form";
  EXPECT_TRUE(test::TakeQuitMessage());
}

TEST_F(MainForm, UserClicksRightButtonMoveAndTheCloseCommandFireOnceEachAndNothingAfterOutClose) {
  test::TXInputLock inputLock;
  ASSERT_TRUE(inputLock.Held());
  TKvornMainForm* form = MakeForm(nullptr, RECT{700, 500, 950, 700});
  const std::string caption = test::UniqueCaption("user-input");
  form->SetCaption(caption);
  form->Init();
  Recorder events;  // every output of the form, told apart by the index; outClose is 0
  TKvorn_Event TKvornMainForm::*const outputs[] = {
      &TKvornMainForm::outClose,   &TKvornMainForm::outMove,       &TKvornMainForm::outResize,
      &TKvornMainForm::outHide,    &TKvornMainForm::outKillFocus,  &TKvornMainForm::outDeactivate,
      &TKvornMainForm::outActivate, &TKvornMainForm::outMouseMove, &TKvornMainForm::outSetFocus,
      &TKvornMainForm::outMouseDown};
  for (std::uint16_t i = 0; i < std::size(outputs); ++i) (*form).*outputs[i] = events.Link(i);
  auto fired = [&](std::uint16_t index, int value) {
    for (std::size_t i = 0; i < events.indexes.size(); ++i) {
      if (events.indexes[i] == index && ToInteger(events.values[i]) == value) return true;
    }
    return false;
  };
  RunStartProcs();
  HWND wnd = form->Control->Handle();
  RECT r{};
  GetWindowRect(wnd, &r);
  ASSERT_TRUE(test::XInputOn(caption, "mousemove --sync " + test::At(POINT{r.left + 100, r.top + 100}) + " click 1"));
  ASSERT_TRUE(test::PumpUntil([&] { return GetForegroundWindow() == wnd; })) << "the click did not activate the form";
  EXPECT_TRUE(test::PumpUntil([&] { return fired(9, 0); })) << "no outMouseDown 0 for the left button";
  ASSERT_EQ(test::RunXdotool("mousedown 3 mousemove --sync " + test::At(POINT{r.left + 130, r.top + 120}) + " mouseup 3"),
            0);
  EXPECT_TRUE(test::PumpUntil([&] { return fired(7, 1); })) << "no outMouseMove 1 with only the right button held";
  ASSERT_EQ(test::RunXdotool("key alt+F4"), 0);
  ASSERT_TRUE(test::PumpUntil([] { return test::TakeQuitMessage(); }));
  ShutdownApp(AppWindow);  // destroys the windows: whatever they still say reaches nobody
  test::PumpFor(100);
  EXPECT_EQ(std::count(events.indexes.begin(), events.indexes.end(), 0), 1);
  EXPECT_EQ(events.indexes.back(), 0) << "an output fired after outClose";
}

// A form saves its position at its close; a second form with the same store, announced as shown
// for the first time (no real show is needed for the load), answers where it was put.
class PositionStore : public test::ElementTest {
 protected:
  // minimised: the saver is closed minimised, as a user may close it from its taskbar button.
  RECT SaveAndRestore(const std::string& store, bool minimised = false) {
    TKvornMainForm* saver = MakeForm(nullptr, saved);
    saver->PositionStore = store;
    saver->Init();
    if (minimised) {
      ShowWindow(saver->Control->Handle(), SW_SHOWMINNOACTIVE);
      EXPECT_TRUE(IsIconic(saver->Control->Handle()));
    }
    SendMessageW(saver->Control->Handle(), WM_CLOSE, 0, 1);
    test::TakeQuitMessage();
    TKvornMainForm* restorer = MakeForm();
    restorer->PositionStore = store;
    restorer->Init();
    SendMessageW(restorer->Control->Handle(), WM_SHOWWINDOW, TRUE, 0);
    return restorer->Control->BoundsRect();
  }
  const RECT saved{50, 60, 350, 260};
};

// What the platform's reg.exe, another process, prints for "reg query HKCU\Software\<name>".
[[maybe_unused]] std::string RegQuery(const std::string& name) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (CreatePipe(&read, &write, &inherit, 0) == FALSE) return "(no pipe)";
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = write;
  PROCESS_INFORMATION process{};
  WideString commandLine = L"reg.exe query \"HKCU\\Software\\" + Cp1251ToWide(name) + L"\"";
  const bool started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process) != FALSE;
  CloseHandle(write);
  std::string out;
  char buffer[512];
  DWORD got = 0;
  while (started && ReadFile(read, buffer, sizeof buffer, &got, nullptr) != FALSE && got > 0) out.append(buffer, got);
  CloseHandle(read);
  if (!started) return "(reg.exe did not start)";
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return out;
}

TEST_F(PositionStore, RegistryKeyGetsFourDwordsAndTheNextStartRestoresThem) {
  const std::string name = "FliranVisualTest" + std::to_string(GetCurrentProcessId());
  const RECT restored = SaveAndRestore(name);
  EXPECT_TRUE(EqualRect(&restored, &saved));
  const WideString key = L"Software\\" + Cp1251ToWide(name);
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
  for (const auto& [valueName, want] : {std::pair{L"Left", 50}, {L"Top", 60}, {L"Height", 200}, {L"Width", 300}}) {
    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(k, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, static_cast<DWORD>(want)) << valueName;
  }
  RegCloseKey(k);
  // The same values as another program sees them. Not in the sanitized winelib build: there a
  // Windows .exe such as reg.exe cannot start, as the preloaded AddressSanitizer runtime holds the
  // addresses where .exe files load.
#if !(defined(__WINE__) && defined(__SANITIZE_ADDRESS__))
  const std::string listed = RegQuery(name);
  for (const char* value : {"Left", "Top", "Height", "Width"}) {
    EXPECT_NE(listed.find(value), std::string::npos) << value << " missing in:\n" << listed;
  }
  for (const char* number : {"0x32", "0x3c", "0xc8", "0x12c"}) {
    EXPECT_NE(listed.find(number), std::string::npos) << number << " missing in:\n" << listed;
  }
  EXPECT_NE(listed.find("REG_DWORD"), std::string::npos) << listed;
#endif
  RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  // Closed minimised: saved as it is when restored (the ini file's test says why).
  const RECT restoredFromMinimised = SaveAndRestore(name, true);
  EXPECT_TRUE(EqualRect(&restoredFromMinimised, &saved));
  RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

TEST_F(PositionStore, IniFileBesideTheProgramGetsTheSectionAndTheNextStartRestoresIt) {
  // A form closed while minimised saves where it is when restored, not the platform's parking
  // place of minimised windows (-32000), from which the next start would open off every screen.
  for (const bool minimised : {false, true}) {
    SCOPED_TRACE(minimised ? "closed minimised" : "closed as shown");
    const std::string file = "visual_test_" + std::to_string(GetCurrentProcessId()) + ".ini";
    const WideString path = Cp1251ToWide(ProgramDirectory() + file);
    const RECT restored = SaveAndRestore(file + "\\Win", minimised);
    EXPECT_TRUE(EqualRect(&restored, &saved));
    const std::string text = test::FileContent(path);
    std::size_t at = 0;
    for (const char* line : {"[Win]", "Left=50", "Top=60", "Width=300", "Height=200"}) {
      at = text.find(line, at);
      EXPECT_NE(at, std::string::npos) << line << " missing or out of order in:\n" << text;
    }
    DeleteFileW(path.c_str());
  }
}

}  // namespace
}  // namespace fliran
