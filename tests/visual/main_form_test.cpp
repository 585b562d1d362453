// The main form element: the application window it makes and speaks for, border styles,
// opacity and client size, the start, following the main form, the close procedure (the close
// command typed for real), and the registry and ini position stores read back from outside.
#include <cstdio>
#include <utility>
#include <string>

#include "runtime/cp1251.h"
#include "runtime/message_loop.h"
#include "runtime/modules.h"
#include "runtime/start_procs.h"
#include "tests/toolkit/x_input.h"
#include "toolkit/ini_file.h"
#include "toolkit/str_list.h"
#include "toolkit/win.h"
#include "visual_test.h"

namespace fliran {
namespace {

using fliran::testing::Recorder;
using fliran::testing::ValueSource;

class MainForm : public test::ElementTest {
 protected:
  // A form at the given bounds, with its window made (still hidden).
  TKvornMainForm* InitForm(TKvornMainForm* form, RECT r) {
    form->Left = r.left;
    form->Top = r.top;
    form->Width = r.right - r.left;
    form->Height = r.bottom - r.top;
    form->Init();
    return form;
  }
  static RECT Bounds(TKvornMainForm* form) { return form->Control->BoundsRect(); }
};

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

TEST_F(MainForm, OnlyTheFirstFormSpeaksForTheApplicationWindow) {
  TKvornMainForm* main = MakeForm();
  TKvornMainForm* second = MakeForm();
  ASSERT_NE(AppWindow, nullptr);
  EXPECT_TRUE(main->IsMain);
  EXPECT_FALSE(second->IsMain);
  EXPECT_EQ(main->Control->Parent(), AppWindow);
  main->SetCaption("ФЛИРАН_1"_cp1251);
  second->SetCaption("второе"_cp1251);
  EXPECT_EQ(AppWindow->GetText(), "ФЛИРАН_1"_cp1251);
  EXPECT_EQ(second->Control->GetText(), "второе"_cp1251);
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
  };
  const Row rows[] = {
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
    InitForm(form, RECT{0, 0, 200, 100});
    HWND wnd = form->Control->Handle();
    const bool layered = (GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
    EXPECT_EQ(layered, opacity < 255);
    BYTE alpha = 0;
    DWORD flags = 0;
    if (layered) {
      ASSERT_TRUE(GetLayeredWindowAttributes(wnd, nullptr, &alpha, &flags));
      EXPECT_EQ(alpha, opacity);
    }
  }
}

TEST_F(MainForm, ClientSizeModeMakesWidthAndHeightTheClientArea) {
  for (const bool clientSize : {false, true}) {
    SCOPED_TRACE(clientSize);
    TKvornMainForm* form = MakeForm();
    form->SetBorderStyle(3);
    form->ClientSizeMode = clientSize;
    InitForm(form, RECT{10, 10, 310, 210});
    const RECT client = form->Control->ClientRect();
    const RECT outer = Bounds(form);
    const RECT& measured = clientSize ? client : outer;
    EXPECT_EQ(measured.right - measured.left, 300);
    EXPECT_EQ(measured.bottom - measured.top, 200);
  }
}

TEST_F(MainForm, StartFiresOutStartThenShowsTheFormInItsWindowState) {
  test::TXInputLock inputLock;  // shown windows take the foreground
  ASSERT_TRUE(inputLock.Held());
  for (const std::uint8_t state : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{2}}) {
    SCOPED_TRACE(int(state));
    TKvornMainForm* form = MakeForm();
    form->WindowState = state;
    InitForm(form, RECT{700, 500, 900, 650});
    Recorder starts;
    bool visibleAtStart = true;
    starts.onValue = [&](TData*) { visibleAtStart = IsWindowVisible(form->Control->Handle()) != FALSE; };
    form->outStart = starts.Link();
    EXPECT_FALSE(form->Control->Visible());
    RunStartProcs();
    EXPECT_EQ(starts.values.size(), 1u);
    EXPECT_FALSE(visibleAtStart);
    HWND wnd = form->Control->Handle();
    EXPECT_TRUE(IsWindowVisible(wnd));
    EXPECT_EQ(IsIconic(wnd) != FALSE, state == 1);
    EXPECT_EQ(IsZoomed(wnd) != FALSE, state == 2);
    form->Control->Hide();
  }
}

TEST_F(MainForm, MovingTheMainFormMovesTheApplicationWindowAndItsFollowers) {
  TKvornMainForm* main = MakeForm();
  main->WinName = "main";
  InitForm(main, RECT{0, 0, 200, 100});
  TKvornMainForm* follower = MakeForm();
  follower->FollowTarget = &main->GetControlLink();
  follower->FollowX = 10;
  follower->FollowY = 20;
  InitForm(follower, RECT{0, 0, 50, 50});
  EXPECT_EQ(FormList()->IndexOfObject(follower->Control->Handle()), 0);
  EXPECT_EQ(FormList()->IndexOfObject(main->Control->Handle()), -1);
  Recorder moves;
  main->outMove = moves.Link();
  main->Control->SetBoundsRect(RECT{100, 120, 400, 320});
  EXPECT_TRUE(test::PumpUntil([&] { return follower->Control->Left() == 110 && follower->Control->Top() == 140; }));
  EXPECT_EQ(moves.values.size(), 1u);
  EXPECT_EQ(AppWindow->Left(), 100);
  EXPECT_EQ(AppWindow->Top(), 120);
  EXPECT_EQ(AppWindow->Width(), 300);
}

TEST_F(MainForm, UserCloseIsRefusedByDataCancelCloseAndAForcedCloseIsNot) {
  struct Row {
    const char* what;
    bool cancelLinked;
    LPARAM forced;
    bool closes;
  };
  const Row rows[] = {
      {"refused", true, 0, false},
      {"forced", true, 1, true},
      {"unlinked", false, 0, true},
  };
  TKvornMainForm* form = InitForm(MakeForm(), RECT{0, 0, 200, 100});
  ValueSource cancel;
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
  TKvornMainForm* main = InitForm(MakeForm(), RECT{700, 500, 900, 650});
  TKvornMainForm* secondary = InitForm(MakeForm(), RECT{720, 520, 820, 600});
  TKvornMainForm* child = InitForm(MakeForm(main->Control), RECT{740, 540, 840, 620});
  ValueSource cancel;
  cancel.value = fliran::testing::IntValue(1);
  child->dataCancelClose = cancel.Link();
  Recorder closes;
  secondary->outClose = closes.Link();
  child->outClose = closes.Link();

  secondary->Control->Show();
  SendMessageW(secondary->Control->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(secondary->Control->Visible());
  EXPECT_TRUE(IsWindow(secondary->Control->Handle()));
  EXPECT_FALSE(test::TakeQuitMessage()) << "a secondary form ended the program";

  child->Control->Show();
  SendMessageW(child->Control->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(child->Control->Visible()) << "its own refusal applies to a user's close";
  SendMessageW(main->Control->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(child->Control->Visible()) << "closed with the main form despite its refusal";
  EXPECT_TRUE(test::TakeQuitMessage());
  EXPECT_TRUE(closes.values.empty());
}

TEST_F(MainForm, CloseCommandTypedByTheUserFiresOutCloseOnceAndNothingAfterIt) {
  test::TXInputLock inputLock;
  ASSERT_TRUE(inputLock.Held());
  TKvornMainForm* form = MakeForm();
  const std::string caption = test::UniqueCaption("close-command");
  form->SetCaption(caption);
  InitForm(form, RECT{700, 500, 950, 700});
  Recorder events;  // every output of the form, told apart by the index
  TKvorn_Event TKvornMainForm::*const outputs[] = {
      &TKvornMainForm::outClose,  &TKvornMainForm::outMove,      &TKvornMainForm::outResize,
      &TKvornMainForm::outHide,   &TKvornMainForm::outKillFocus, &TKvornMainForm::outDeactivate,
      &TKvornMainForm::outActivate, &TKvornMainForm::outMouseMove, &TKvornMainForm::outSetFocus};
  for (std::uint16_t i = 0; i < std::size(outputs); ++i) (*form).*outputs[i] = events.Link(i);
  RunStartProcs();
  HWND wnd = form->Control->Handle();
  ASSERT_TRUE(IsWindowVisible(wnd));
  RECT r{};
  GetWindowRect(wnd, &r);
  ASSERT_EQ(test::RunXdotool("search --sync --limit 1 --name '^" + caption + "$' windowraise mousemove --sync " +
                             std::to_string((r.left + r.right) / 2) + " " + std::to_string((r.top + r.bottom) / 2) +
                             " click 1"),
            0);
  ASSERT_TRUE(test::PumpUntil([&] { return GetForegroundWindow() == wnd; })) << "the click did not activate the form";
  ASSERT_EQ(test::RunXdotool("key alt+F4"), 0);
  ASSERT_TRUE(test::PumpUntil([] { return test::TakeQuitMessage(); }));
  ShutdownApp(AppWindow);  // destroys the windows: whatever they still say reaches nobody
  test::PumpFor(100);
  std::size_t closes = 0;
  for (const std::uint16_t index : events.indexes) closes += index == 0 ? 1 : 0;
  EXPECT_EQ(closes, 1u);
  ASSERT_FALSE(events.indexes.empty());
  EXPECT_EQ(events.indexes.back(), 0) << "an output fired after outClose";
}

// Saves a form's position at its close, then starts a second form with the same store and
// answers where its first show puts it.
RECT SaveAndRestore(TKvornMainForm* saver, TKvornMainForm* restorer, const std::string& store, RECT r) {
  saver->PositionStore = store;
  saver->Left = r.left;
  saver->Top = r.top;
  saver->Width = r.right - r.left;
  saver->Height = r.bottom - r.top;
  saver->Init();
  SendMessageW(saver->Control->Handle(), WM_CLOSE, 0, 1);
  test::TakeQuitMessage();
  restorer->PositionStore = store;
  restorer->Init();
  // The first show announced (the window stays hidden: no show is needed for the load).
  SendMessageW(restorer->Control->Handle(), WM_SHOWWINDOW, TRUE, 0);
  return restorer->Control->BoundsRect();
}

TEST_F(MainForm, RegistryStoreWritesFourDwordsAndTheNextStartRestoresThem) {
  const std::string name = "FliranVisualTest" + std::to_string(GetCurrentProcessId());
  const RECT saved{50, 60, 350, 260};
  const RECT restored = SaveAndRestore(MakeForm(), MakeForm(), name, saved);
  EXPECT_TRUE(SameRect(restored, saved));

  const std::wstring key = L"Software\\" + Cp1251ToWide(name);
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
  // The registry lists values by name, not in the order written: each is looked up.
  const std::pair<const wchar_t*, DWORD> values[] = {{L"Left", 50}, {L"Top", 60}, {L"Height", 200}, {L"Width", 300}};
  for (const auto& [valueName, want] : values) {
    DWORD type = 0, value = 0, size = sizeof value;
    ASSERT_EQ(RegQueryValueExW(k, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, want);
  }
  RegCloseKey(k);
  RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
}

TEST_F(MainForm, IniStoreWritesTheSectionBesideTheProgramAndTheNextStartRestoresIt) {
  const std::string file = "visual_test_" + std::to_string(GetCurrentProcessId()) + ".ini";
  const std::wstring path = Cp1251ToWide(ProgramDirectory() + file);
  DeleteFileW(path.c_str());
  const RECT saved{70, 80, 320, 230};
  const RECT restored = SaveAndRestore(MakeForm(), MakeForm(), file + "\\Win", saved);
  EXPECT_TRUE(SameRect(restored, saved));

  std::string text;
  if (FILE* f = _wfopen(path.c_str(), L"rb"); f != nullptr) {
    char buffer[512];
    text.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
    std::fclose(f);
  }
  std::size_t at = 0;
  for (const char* line : {"[Win]", "Left=70", "Top=80", "Width=250", "Height=150"}) {
    at = text.find(line, at);
    EXPECT_NE(at, std::string::npos) << line << " missing or out of order in:\n" << text;
  }
  DeleteFileW(path.c_str());
}

}  // namespace
}  // namespace fliran
