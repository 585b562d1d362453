// The control object on real windows under Wine: binding, the order of message handling,
// default handling (close, destruction, sizing, colours, commands), texts, alpha.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/app.h"
#include "runtime/cp1251.h"
#include "toolkit/control.h"
#include "toolkit/win.h"
#include "toolkit_test.h"
#include "x_input.h"

namespace fliran {
namespace {

using test::PumpQueued;
using test::PumpUntil;

WideString WindowClassOf(HWND wnd) {
  wchar_t name[64] = {};
  GetClassNameW(wnd, name, 64);
  return name;
}

WideString WindowTextOf(HWND wnd) {
  wchar_t text[256] = {};
  GetWindowTextW(wnd, text, 256);
  return text;
}

// Records what reaches an object.
struct TRecorder {
  std::vector<std::string> trace;
  std::vector<UINT> messages;
  TControl* control = nullptr;
  bool boundWhileCreating = true;
  bool creating = false;
  int destroyed = 0;

  bool OnMessage(TMsg& msg, LRESULT&) {
    if (creating) {
      messages.push_back(msg.Message);
      if (control->Handle() != msg.Wnd || TControl::FromHandle(msg.Wnd) != control) boundWhileCreating = false;
    }
    return false;
  }
  void OnDestroyed(TObj*) { ++destroyed; }
};

TEST(Binding, MessagesSentDuringCreationReachTheObject) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "binding"));
  TRecorder rec;
  rec.control = form.get();
  form->MessageEvent = MakeMethod<&TRecorder::OnMessage>(&rec);
  rec.creating = true;
  ASSERT_TRUE(form->CreateControlWindow());
  rec.creating = false;
  // WM_NCCREATE and WM_CREATE are sent inside CreateWindowExW, before it returns.
  EXPECT_NE(std::find(rec.messages.begin(), rec.messages.end(), static_cast<UINT>(WM_NCCREATE)), rec.messages.end());
  EXPECT_NE(std::find(rec.messages.begin(), rec.messages.end(), static_cast<UINT>(WM_CREATE)), rec.messages.end());
  EXPECT_TRUE(rec.boundWhileCreating);
  EXPECT_EQ(TControl::FromHandle(form->Handle()), form.get());
  EXPECT_EQ(GetPropW(form->Handle(), L"SELF_"), static_cast<HANDLE>(form.get()));
}

TEST(Binding, WindowsUseObjSuperclassesOfUnicodeKind) {
  test::TAppStateGuard state;
  TObjPtr<TControl> app(test::HiddenApp("app"));
  TControl* form = test::HiddenForm(app.get(), "form");
  TControl* edit = CreateEditBox(form, 0);
  TControl* combo = CreateComboBox(form, 0);
  TControl* label = CreateLabel(form, "label");
  TControl* button = CreateButton(form, "button");
  ASSERT_TRUE(button->CreateControlWindow());
  ASSERT_TRUE(edit->CreateControlWindow());
  ASSERT_TRUE(combo->CreateControlWindow());
  ASSERT_TRUE(label->CreateControlWindow());
  EXPECT_EQ(WindowClassOf(app->Handle()), L"obj_App");
  EXPECT_EQ(WindowClassOf(form->Handle()), L"obj_Form");
  EXPECT_EQ(WindowClassOf(edit->Handle()), L"obj_EDIT");
  EXPECT_EQ(WindowClassOf(combo->Handle()), L"obj_COMBOBOX");
  EXPECT_EQ(WindowClassOf(label->Handle()), L"obj_STATIC");
  EXPECT_EQ(WindowClassOf(button->Handle()), L"obj_BUTTON");
  EXPECT_NE(IsWindowUnicode(edit->Handle()), FALSE);
  // Parents were made first, as a side effect of making a child.
  EXPECT_NE(form->Handle(), nullptr);
  EXPECT_EQ(GetParent(edit->Handle()), form->Handle());
}

TEST(Binding, ControlIdentifiersCountUpFrom0x8000) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "ids"));
  const std::uint16_t first = NextControlId();
  EXPECT_GE(first, 0x8000);
  TControl* a = CreateEditBox(form.get(), 0);
  TControl* b = CreateButton(form.get(), "b");
  EXPECT_EQ(a->ControlId, first);
  EXPECT_EQ(b->ControlId, first + 1);
  ASSERT_TRUE(b->CreateControlWindow());
  EXPECT_EQ(GetDlgCtrlID(b->Handle()), static_cast<int>(b->ControlId));
  EXPECT_EQ(GetDlgItem(form->Handle(), b->ControlId), b->Handle());
}

TEST(Binding, StandardControlStyles) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "styles"));
  TControl* edit = CreateEditBox(form.get(), 0);
  TControl* label = CreateLabel(form.get(), "");
  TControl* framed = CreateStandardControl(form.get(), "EDIT", WS_CHILD | WS_VISIBLE | WS_BORDER, true, &EditCommands);
  // The creation style (the platform's edit control turns WS_BORDER into a client edge itself).
  EXPECT_EQ(edit->Style() & 0x50810000u, 0x50810000u);
  EXPECT_EQ(edit->Style() & (WS_CLIPSIBLINGS | WS_CLIPCHILDREN), static_cast<DWORD>(WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
  ASSERT_TRUE(form->CreateControlWindow());
  ASSERT_TRUE(edit->CreateControlWindow() && label->CreateControlWindow() && framed->CreateControlWindow());
  EXPECT_NE(edit->Style() & WS_TABSTOP, 0u);
  EXPECT_EQ(edit->Width(), 100);
  EXPECT_EQ(edit->Height(), 22);
  EXPECT_EQ(label->Style() & 0xFFFFu, 0x018Cu);
  EXPECT_EQ(framed->Style() & WS_BORDER, 0u);
  EXPECT_NE(framed->ExStyle() & WS_EX_CLIENTEDGE, 0u);
  // Tab order follows creation; the first tab stop becomes the form's focused control.
  EXPECT_EQ(edit->TabOrder + 1, label->TabOrder);
  EXPECT_EQ(form->FocusedControl, edit);
}

TEST(Binding, OptionTablesGiveTheStyles) {
  // Options of one kind -> style bits that must be present and bits that must be absent.
  struct TCase {
    DWORD (*styleFor)(std::uint32_t options);
    std::uint32_t options;
    DWORD present;
    DWORD absent;
  };
  const TCase cases[] = {
      {&EditStyleFor, 0, ES_AUTOHSCROLL | ES_AUTOVSCROLL | 0x50810000u, WS_HSCROLL | WS_VSCROLL | ES_MULTILINE},
      // The memo: multi-line with a vertical scroll bar.
      {&EditStyleFor, EditNoHScroll | EditMultiline | EditNoHideSel,
       ES_MULTILINE | ES_NOHIDESEL | WS_VSCROLL | ES_AUTOVSCROLL, WS_HSCROLL | ES_AUTOHSCROLL},
      {&EditStyleFor, EditPassword | EditReadonly, ES_PASSWORD | ES_READONLY, 0},
      {&EditStyleFor, EditNumber | EditUpperCase, ES_NUMBER | ES_UPPERCASE, 0},
      {&EditStyleFor, EditNoHScroll | EditNoVScroll, 0, ES_AUTOHSCROLL | ES_AUTOVSCROLL},
      {&ComboStyleFor, 0, CBS_DROPDOWN | CBS_AUTOHSCROLL | 0x50210200u, CBS_SORT},
      {&ComboStyleFor, ComboDropDownList | ComboSort, CBS_DROPDOWNLIST | CBS_SORT, 0},
      {&ComboStyleFor, ComboNoHScroll | ComboOwnerDrawFixed, CBS_OWNERDRAWFIXED | CBS_DROPDOWN, CBS_AUTOHSCROLL},
      // Simple is the whole kind (low two bits), not drop-down added to it.
      {&ComboStyleFor, ComboSimple, CBS_SIMPLE, CBS_DROPDOWNLIST & ~static_cast<DWORD>(CBS_SIMPLE)},
  };
  for (const auto& c : cases) {
    const DWORD style = c.styleFor(c.options);
    const char* kind = c.styleFor == &EditStyleFor ? "edit " : "combo ";
    EXPECT_EQ(style & c.present, c.present) << kind << std::hex << c.options;
    EXPECT_EQ(style & c.absent, 0u) << kind << std::hex << c.options;
  }
}

// ---------------------------------------------------------------------------------------------

struct TOrderProbe {
  std::vector<std::string>* trace;
  std::string name;
  bool handles = false;
  LRESULT answer = 0;

  bool Event(TMsg& msg, LRESULT& result) {
    if (msg.Message != WM_APP + 7) return false;
    trace->push_back(name);
    if (handles) result = answer;
    return handles;
  }
  bool Hook(TControl*, TMsg& msg, LRESULT& result) { return Event(msg, result); }
};

std::vector<std::string>* gFilterTrace = nullptr;
bool gFilterHandles = false;
bool ProbeFilter(TControl*, TMsg& msg, LRESULT& result) {
  if (msg.Message != WM_APP + 7) return false;
  gFilterTrace->push_back("filter");
  if (gFilterHandles) result = 11;
  return gFilterHandles;
}

TEST(WndProcOrder, EachStageRunsInOrderAndAHandledMessageStopsTheChain) {
  // Which stage handles -> the stages that ran, and the answer.
  struct TCase {
    std::string handler;
    std::vector<std::string> ran;
    LRESULT answer;
  };
  const TCase cases[] = {
      {"", {"filter", "app", "own", "hook1", "hook2"}, 0},
      {"filter", {"filter"}, 11},
      {"app", {"filter", "app"}, 12},
      {"own", {"filter", "app", "own"}, 13},
      {"hook1", {"filter", "app", "own", "hook1"}, 14},
      {"hook2", {"filter", "app", "own", "hook1", "hook2"}, 15},
  };
  for (const auto& c : cases) {
    test::TAppStateGuard state;
    std::vector<std::string> trace;
    TObjPtr<TControl> app(test::HiddenApp("order-app"));
    TControl* form = test::HiddenForm(app.get(), "order");
    ASSERT_TRUE(form->CreateControlWindow());
    TOrderProbe appProbe{&trace, "app", c.handler == "app", 12};
    TOrderProbe own{&trace, "own", c.handler == "own", 13};
    TOrderProbe hook1{&trace, "hook1", c.handler == "hook1", 14};
    TOrderProbe hook2{&trace, "hook2", c.handler == "hook2", 15};
    gFilterTrace = &trace;
    gFilterHandles = c.handler == "filter";
    ProgramMessageFilter = &ProbeFilter;
    AppRunning = true;  // the application's MessageEvent takes part only while the loop runs
    app->MessageEvent = MakeMethod<&TOrderProbe::Event>(&appProbe);
    form->MessageEvent = MakeMethod<&TOrderProbe::Event>(&own);
    form->AttachHook(MakeMethod<&TOrderProbe::Hook>(&hook1));
    form->AttachHook(MakeMethod<&TOrderProbe::Hook>(&hook2));
    form->AttachHook(MakeMethod<&TOrderProbe::Hook>(&hook1));  // not added twice
    const LRESULT answer = SendMessageW(form->Handle(), WM_APP + 7, 0, 0);
    EXPECT_EQ(trace, c.ran) << "handled by " << c.handler;
    EXPECT_EQ(answer, c.answer) << "handled by " << c.handler;
  }
}

TEST(WndProcOrder, ApplicationMessageEventOnlyWhileTheLoopRuns) {
  test::TAppStateGuard state;
  std::vector<std::string> trace;
  TObjPtr<TControl> app(test::HiddenApp("order-app"));
  TControl* form = test::HiddenForm(app.get(), "order");
  ASSERT_TRUE(form->CreateControlWindow());
  TOrderProbe appProbe{&trace, "app", true, 1};
  app->MessageEvent = MakeMethod<&TOrderProbe::Event>(&appProbe);
  AppRunning = false;
  SendMessageW(form->Handle(), WM_APP + 7, 0, 0);
  EXPECT_TRUE(trace.empty());
  AppRunning = true;
  SendMessageW(form->Handle(), WM_APP + 7, 0, 0);
  EXPECT_EQ(trace, std::vector<std::string>{"app"});
}

// ---------------------------------------------------------------------------------------------

struct TCloseProbe {
  bool accept = true;
  int calls = 0;
  void OnClose(TControl*, bool& accepted) {
    ++calls;
    accepted = accept;
  }
};

TEST(DefaultHandling, ClosingTheMainWindowPostsQuitAndClosesTheApplicationWindow) {
  test::TAppStateGuard state;
  TObjPtr<TControl> app(test::HiddenApp("close-app"));
  TControl* form = test::HiddenForm(app.get(), "close");
  ASSERT_TRUE(form->CreateControlWindow());
  ASSERT_TRUE(form->IsMainWindow());
  TCloseProbe formProbe;
  TCloseProbe appProbe;
  form->CloseEvent = MakeMethod<&TCloseProbe::OnClose>(&formProbe);
  app->CloseEvent = MakeMethod<&TCloseProbe::OnClose>(&appProbe);
  test::TakeQuitMessage();
  EXPECT_EQ(SendMessageW(form->Handle(), WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(formProbe.calls, 1);
  EXPECT_EQ(appProbe.calls, 1);
  EXPECT_TRUE(test::TakeQuitMessage());
  // The windows stay until the program tears them down.
  EXPECT_NE(IsWindow(form->Handle()), FALSE);
  EXPECT_NE(IsWindow(app->Handle()), FALSE);
}

TEST(DefaultHandling, RefusedCloseChangesNothing) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "refuse"));
  ASSERT_TRUE(form->CreateControlWindow());
  TCloseProbe probe;
  probe.accept = false;
  form->CloseEvent = MakeMethod<&TCloseProbe::OnClose>(&probe);
  test::TakeQuitMessage();
  SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(probe.calls, 1);
  EXPECT_FALSE(test::TakeQuitMessage());
  EXPECT_NE(IsWindow(form->Handle()), FALSE);
}

TEST(DefaultHandling, SecondaryFormClosesItsWindowAndIsFreedWithIt) {
  test::TAppStateGuard state;
  TObjPtr<TControl> app(test::HiddenApp("app"));
  TControl* main = test::HiddenForm(app.get(), "main");
  TControl* second = test::HiddenForm(app.get(), "second");
  ASSERT_TRUE(main->CreateControlWindow());
  ASSERT_TRUE(second->CreateControlWindow());
  EXPECT_FALSE(second->IsMainWindow());
  TRecorder rec;
  second->OnDestroy = MakeMethod<&TRecorder::OnDestroyed>(&rec);
  HWND wnd = second->Handle();
  test::TakeQuitMessage();
  SendMessageW(wnd, WM_CLOSE, 0, 0);
  EXPECT_FALSE(test::TakeQuitMessage());
  EXPECT_EQ(IsWindow(wnd), FALSE);
  EXPECT_EQ(rec.destroyed, 1);
  EXPECT_EQ(app->ChildCount(), 1);
}

// Records the system commands that reach one window.
struct TSysCommands {
  HWND window = nullptr;
  std::vector<WPARAM> seen;
  bool OnMessage(TMsg& msg, LRESULT& result) {
    if (msg.Wnd != window || msg.Message != WM_SYSCOMMAND) return false;
    seen.push_back(msg.WParam & 0xFFF0);
    result = 0;
    return true;  // the test only looks: the application window is not really minimised
  }
};

TEST(DefaultHandling, MinimiseCommandOfTheMainWindowIsPostedToTheApplicationWindow) {
  test::TAppStateGuard state;
  TObjPtr<TControl> app(test::HiddenApp("minimise-app"));
  TControl* main = test::HiddenForm(app.get(), "main");
  TControl* second = test::HiddenForm(app.get(), "second");
  ASSERT_TRUE(main->CreateControlWindow() && second->CreateControlWindow());
  ASSERT_TRUE(main->IsMainWindow());
  TSysCommands commands;
  commands.window = app->Handle();
  app->MessageEvent = MakeMethod<&TSysCommands::OnMessage>(&commands);
  EXPECT_EQ(SendMessageW(main->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 0);
  EXPECT_EQ(IsIconic(main->Handle()), FALSE);
  EXPECT_TRUE(commands.seen.empty());  // posted, not sent
  ASSERT_TRUE(PumpUntil([&] { return !commands.seen.empty(); }, 5000));
  EXPECT_EQ(commands.seen, (std::vector<WPARAM>{SC_MINIMIZE}));
  // Any other form minimises itself.
  SendMessageW(second->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_NE(IsIconic(second->Handle()), FALSE);
  PumpQueued();  // a posted command would be in the queue by now
  EXPECT_EQ(commands.seen.size(), 1u);
}

// A shown application window with a shown form that it owns, as the program has them: what the
// platform tells the windows that an owner hides while it is minimised and shows again when it
// is restored. The form stays hidden in between and comes back as it was.
TEST(OwnerMinimised, FormComesBackAsItWas) {
  test::TXInputLock inputLock;  // shown windows take the foreground: not while a test types
  ASSERT_TRUE(inputLock.Held());
  for (const bool maximised : {false, true}) {
    SCOPED_TRACE(maximised ? "maximised" : "normal");
    test::TAppStateGuard state;
    TObjPtr<TControl> app(CreateAppWindow("owner-app"));
    TControl* form = CreateForm(app.get(), "owned");
    form->SetBoundsRect(RECT{700, 40, 900, 160});
    ASSERT_TRUE(form->CreateControlWindow());
    ASSERT_NE(IsWindowVisible(form->Handle()), FALSE);
    if (maximised) {
      ShowWindow(form->Handle(), SW_MAXIMIZE);
      PumpQueued();
      ASSERT_NE(IsZoomed(form->Handle()), FALSE);
    }
    SendMessageW(form->Handle(), WM_SHOWWINDOW, FALSE, SW_PARENTCLOSING);
    EXPECT_EQ(IsWindowVisible(form->Handle()), FALSE);
    EXPECT_FALSE(form->Visible());
    // Making the window "if needed" does not show it while its owner is minimised.
    EXPECT_TRUE(form->CreateControlWindow());
    EXPECT_EQ(IsWindowVisible(form->Handle()), FALSE);
    EXPECT_EQ(SendMessageW(form->Handle(), WM_SHOWWINDOW, TRUE, SW_PARENTOPENING), 0);
    EXPECT_NE(IsWindowVisible(form->Handle()), FALSE);
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(IsZoomed(form->Handle()) != FALSE, maximised);
    EXPECT_EQ(IsIconic(form->Handle()), FALSE);
  }
}

TEST(DeferredFree, MainWindowObjectOutlivesItsWindowUntilQueuedMessagesAreHandled) {
  test::TAppStateGuard state;
  TControl* form = test::HiddenForm(nullptr, "deferred");  // freed by the toolkit
  ASSERT_TRUE(form->CreateControlWindow());
  ASSERT_TRUE(form->IsMainWindow());
  TRecorder rec;
  form->OnDestroy = MakeMethod<&TRecorder::OnDestroyed>(&rec);
  DestroyWindow(form->Handle());
  EXPECT_EQ(rec.destroyed, 0);  // still alive right after its window went
  EXPECT_EQ(form->Handle(), nullptr);
  EXPECT_TRUE(PumpUntil([&] { return rec.destroyed == 1; }, 5000));
}

TEST(DeferredFree, HeldObjectIsFreedAtTheLastDropHold) {
  test::TAppStateGuard state;
  TControl* form = test::HiddenForm(nullptr, "held");
  ASSERT_TRUE(form->CreateControlWindow());
  TRecorder rec;
  form->OnDestroy = MakeMethod<&TRecorder::OnDestroyed>(&rec);
  form->AddHold();
  form->AddHold();
  DestroyWindow(form->Handle());
  // The free request is queued; once it is handled, the holds keep the object.
  auto requestQueued = [] {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_DEFERRED_FREE, WM_DEFERRED_FREE, PM_NOREMOVE) != FALSE;
  };
  ASSERT_TRUE(requestQueued());
  ASSERT_TRUE(PumpUntil([&] { return !requestQueued(); }, 5000));
  EXPECT_EQ(rec.destroyed, 0);
  EXPECT_TRUE(form->Destroying());
  form->DropHold();
  EXPECT_EQ(rec.destroyed, 0);
  form->DropHold();
  EXPECT_EQ(rec.destroyed, 1);
}

TEST(DeferredFree, PrivateMessageFreesTheObject) {
  test::TAppStateGuard state;
  TObjPtr<TControl> app(test::HiddenApp("app"));
  TControl* form = test::HiddenForm(app.get(), "b003");
  ASSERT_TRUE(form->CreateControlWindow());
  TRecorder rec;
  form->OnDestroy = MakeMethod<&TRecorder::OnDestroyed>(&rec);
  HWND wnd = form->Handle();
  form->AddHold();
  SendMessageW(wnd, 0xB003, 0, 0);
  EXPECT_EQ(rec.destroyed, 0);
  form->DropHold();
  EXPECT_EQ(rec.destroyed, 1);
  EXPECT_EQ(IsWindow(wnd), FALSE);
  EXPECT_EQ(app->ChildCount(), 0);
}

TEST(Ownership, FreeingAControlFreesItsChildrenAndWindows) {
  test::TAppStateGuard state;
  TControl* form = test::HiddenForm(nullptr, "owner");
  TControl* edit = CreateEditBox(form, 0);
  ASSERT_TRUE(edit->CreateControlWindow());
  TRecorder rec;
  edit->OnDestroy = MakeMethod<&TRecorder::OnDestroyed>(&rec);
  HWND formWnd = form->Handle();
  HWND editWnd = edit->Handle();
  form->Free();
  EXPECT_EQ(rec.destroyed, 1);
  EXPECT_EQ(IsWindow(formWnd), FALSE);
  EXPECT_EQ(IsWindow(editWnd), FALSE);
  PumpQueued();
}

TEST(Ownership, FreeingAChildRemovesItFromItsParent) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "owner"));
  TControl* a = CreateButton(form.get(), "a");
  TControl* b = CreateButton(form.get(), "b");
  ASSERT_TRUE(b->CreateControlWindow());
  HWND aWnd = a->Handle() != nullptr ? a->Handle() : (a->CreateControlWindow(), a->Handle());
  a->Free();
  EXPECT_EQ(form->ChildCount(), 1);
  EXPECT_EQ(form->Child(0), b);
  EXPECT_EQ(IsWindow(aWnd), FALSE);
}

// Records the controls freed, and counts how often the form still remembers one of them when its
// window goes (only the pointers are compared).
struct TForgotten {
  TControl* form;
  int stale = 0;
  std::vector<TControl*> gone;
  void OnDestroyed(TObj* obj) { gone.push_back(static_cast<TControl*>(obj)); }
  void Check(TControl*) {
    for (TControl* g : gone) {
      if (form->FocusedControl == g || form->DefaultButton == g || form->CancelButton == g) ++stale;
    }
  }
};

TEST(Ownership, FreedControlsAreForgottenByTheFormAndTheApplicationWindow) {
  // A control freed by its parent (here a label holding buttons and an edit box) must not stay
  // remembered above it, whether freed directly or along with its parent's parent.
  for (const bool freeApp : {false, true}) {
    SCOPED_TRACE(freeApp ? "application window freed" : "holder freed");
    test::TAppStateGuard state;
    TControl* app = test::HiddenApp("forget-app");
    ASSERT_EQ(AppWindow, app);
    TControl* form = test::HiddenForm(app, "forget");
    TControl* holder = CreateLabel(form, "holder");
    TControl* edit = CreateEditBox(holder, 0);
    TControl* ok = CreateButton(holder, "ok");
    TControl* cancel = CreateButton(holder, "cancel");
    ASSERT_TRUE(edit->CreateControlWindow() && ok->CreateControlWindow() && cancel->CreateControlWindow());
    ok->SetDefaultButton(true);
    cancel->SetCancelButton(true);
    edit->Focus();
    ASSERT_EQ(form->FocusedControl, edit);
    app->FocusedControl = edit;
    ASSERT_EQ(form->DefaultButton, ok);
    ASSERT_EQ(form->CancelButton, cancel);
    TForgotten seen{form, 0, {}};
    for (TControl* c : {edit, ok, cancel}) c->OnDestroy = MakeMethod<&TForgotten::OnDestroyed>(&seen);
    form->WindowDestroyedEvent = MakeMethod<&TForgotten::Check>(&seen);
    if (freeApp) {
      app->Free();
      EXPECT_EQ(seen.gone.size(), 3u);
      EXPECT_EQ(seen.stale, 0);
      EXPECT_EQ(AppWindow, nullptr);
    } else {
      holder->Free();
      EXPECT_EQ(seen.gone.size(), 3u);
      EXPECT_EQ(form->FocusedControl, nullptr);
      EXPECT_EQ(form->DefaultButton, nullptr);
      EXPECT_EQ(form->CancelButton, nullptr);
      // Destroying the focused edit box gave the focus to the form, which may be remembered.
      EXPECT_EQ(std::count(seen.gone.begin(), seen.gone.end(), app->FocusedControl), 0);
      app->Free();
    }
    PumpQueued();
  }
}

// ---------------------------------------------------------------------------------------------

TEST(AppWindow, StaysVisibleForTheTaskbarButLiesOutsideEveryScreen) {
  test::TXInputLock inputLock;  // a shown window takes the foreground: not while a test types
  ASSERT_TRUE(inputLock.Held());
  test::TAppStateGuard state;
  TObjPtr<TControl> app(CreateAppWindow("taskbar"));
  ASSERT_TRUE(app->CreateControlWindow());
  EXPECT_NE(IsWindowVisible(app->Handle()), FALSE);
  EXPECT_EQ(app->Style() & 0x90CA0000u, 0x90CA0000u);
  EXPECT_NE(app->ExStyle() & WS_EX_APPWINDOW, 0u);
  RECT window{};
  ASSERT_NE(GetWindowRect(app->Handle(), &window), FALSE);
  const RECT screens{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                     GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                     GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  ASSERT_FALSE(IsRectEmpty(&screens));
  RECT seen{};
  EXPECT_EQ(IntersectRect(&seen, &window, &screens), FALSE)
      << window.left << "," << window.top << " " << window.right << "," << window.bottom;
  // Its forms are placed by the platform as usual.
  TControl* form = test::HiddenForm(app.get(), "on-screen");
  form->SetBoundsRect(RECT{100, 100, 300, 200});
  ASSERT_TRUE(form->CreateControlWindow());
  RECT formRect{};
  GetWindowRect(form->Handle(), &formRect);
  EXPECT_NE(IntersectRect(&seen, &formRect, &screens), FALSE);
}

// ---------------------------------------------------------------------------------------------

TEST(Texts, CyrillicCaptionReadBackFromThePlatformEqualsTheTextSet) {
  test::TAppStateGuard state;
  const std::string caption("ФЛИРАН_1"_cp1251);
  TObjPtr<TControl> form(test::HiddenForm(nullptr, caption));
  ASSERT_TRUE(form->CreateControlWindow());
  EXPECT_EQ(WindowTextOf(form->Handle()), L"ФЛИРАН_1");
  EXPECT_EQ(form->GetText(), caption);
  const std::string other("ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251);
  form->SetText(other);
  EXPECT_EQ(WindowTextOf(form->Handle()), L"ПОРТ НЕ ОПРЕДЕЛЁН");
  EXPECT_EQ(form->GetText(), other);
}

TEST(Texts, TextSetBeforeTheWindowExistsIsItsCaption) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "x"));
  TControl* button = CreateButton(form.get(), "");
  const std::string text("ЗАПОМНИТЬ\r\nкадр"_cp1251);
  button->SetText(text);
  EXPECT_EQ(button->GetText(), text);
  ASSERT_TRUE(button->CreateControlWindow());
  EXPECT_EQ(WindowTextOf(button->Handle()), L"ЗАПОМНИТЬ\r\nкадр");
  EXPECT_EQ(button->GetText(), text);
}

// ---------------------------------------------------------------------------------------------

TEST(Alpha, Alpha255RemovesTheLayeredStyleAnd254SetsIt) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "alpha"));
  ASSERT_TRUE(form->CreateControlWindow());
  EXPECT_EQ(form->ExStyle() & WS_EX_LAYERED, 0u);
  form->SetWindowAlpha(254);
  EXPECT_NE(form->ExStyle() & WS_EX_LAYERED, 0u);
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_NE(GetLayeredWindowAttributes(form->Handle(), nullptr, &alpha, &flags), FALSE);
  EXPECT_EQ(alpha, 254);
  EXPECT_NE(flags & LWA_ALPHA, 0u);
  form->SetWindowAlpha(255);
  EXPECT_EQ(form->ExStyle() & WS_EX_LAYERED, 0u);
  EXPECT_EQ(form->Alpha(), 255);
}

TEST(Alpha, AlphaSetBeforeCreationIsAppliedToTheNewWindow) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "alpha"));
  form->SetWindowAlpha(128);
  ASSERT_TRUE(form->CreateControlWindow());
  EXPECT_NE(form->ExStyle() & WS_EX_LAYERED, 0u);
}

// ---------------------------------------------------------------------------------------------

TEST(Alignment, ChildrenAreLaidOutInThreePassesWithTheMargin) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "align"));
  form->SetStyle(WS_POPUP | WS_CLIPCHILDREN);
  form->SetBoundsRect(RECT{100, 100, 500, 400});  // no frame: client 400 x 300
  form->Margin = 5;
  TControl* client = CreateLabel(form.get(), "client");   // made first, placed last
  TControl* left = CreateLabel(form.get(), "left");
  TControl* top = CreateLabel(form.get(), "top");
  TControl* bottom = CreateLabel(form.get(), "bottom");
  TControl* right = CreateLabel(form.get(), "right");
  TControl* hidden = CreateLabel(form.get(), "hidden");
  ASSERT_TRUE(form->CreateControlWindow());
  for (TControl* c : {client, left, top, bottom, right, hidden}) ASSERT_TRUE(c->CreateControlWindow());
  left->SetSize(30, 10);
  right->SetSize(40, 10);
  top->SetSize(10, 20);
  bottom->SetSize(10, 25);
  hidden->Hide();
  hidden->SetBoundsRect(RECT{1, 2, 3, 4});
  client->SetAlign(AlignClient);
  left->SetAlign(AlignLeft);
  top->SetAlign(AlignTop);
  bottom->SetAlign(AlignBottom);
  right->SetAlign(AlignRight);
  hidden->SetAlign(AlignClient);
  form->AlignChildren();
  auto rectOf = [](TControl* c) { return c->BoundsRect(); };
  auto expectRect = [&](TControl* c, RECT want, const char* what) {
    const RECT r = rectOf(c);
    EXPECT_EQ(r.left, want.left) << what;
    EXPECT_EQ(r.top, want.top) << what;
    EXPECT_EQ(r.right, want.right) << what;
    EXPECT_EQ(r.bottom, want.bottom) << what;
  };
  // Pass 1: top (y 5..25, area top becomes 25), bottom (300-5-25 = 270..295, area bottom 270).
  expectRect(top, RECT{5, 5, 395, 25}, "top");
  expectRect(bottom, RECT{5, 270, 395, 295}, "bottom");
  // Pass 2: left x 5..35 (area left 35), right 395-40 = 355..395 (area right 355); rows 30..265.
  expectRect(left, RECT{5, 30, 35, 265}, "left");
  expectRect(right, RECT{355, 30, 395, 265}, "right");
  // Pass 3: client fills the rest shrunk by the margin.
  expectRect(client, RECT{40, 30, 350, 265}, "client");
  expectRect(hidden, RECT{1, 2, 3, 4}, "hidden");

  // A new size of the form lays its children out again.
  form->SetSize(500, 300);
  PumpQueued();
  expectRect(top, RECT{5, 5, 495, 25}, "top after resize");
  expectRect(client, RECT{40, 30, 450, 265}, "client after resize");
}

// ---------------------------------------------------------------------------------------------

struct TEventCounter {
  int clicks = 0;
  int changes = 0;
  int shows = 0;
  int hides = 0;
  void Click(TControl*) { ++clicks; }
  void Change(TControl*) { ++changes; }
  void Shown(TControl*) { ++shows; }
  void Hidden(TControl*) { ++hides; }
};

TEST(Notifications, CommandsAreReflectedToTheNotifyingControl) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "commands"));
  TControl* button = CreateButton(form.get(), "press");
  TControl* edit = CreateEditBox(form.get(), 0);
  TEventCounter counter;
  button->ClickEvent = MakeMethod<&TEventCounter::Click>(&counter);
  edit->ChangeEvent = MakeMethod<&TEventCounter::Change>(&counter);
  ASSERT_TRUE(button->CreateControlWindow() && edit->CreateControlWindow());
  SendMessageW(button->Handle(), BM_CLICK, 0, 0);
  PumpQueued();
  EXPECT_EQ(counter.clicks, 1);
  edit->SetText("abc");
  PumpQueued();
  EXPECT_EQ(counter.changes, 1);
}

TEST(Notifications, ColourMessagesAreAnsweredWithTheControlsColours) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "colours"));
  TControl* edit = CreateEditBox(form.get(), 0);
  ASSERT_TRUE(edit->CreateControlWindow());
  edit->SetColor(0x00336699);
  edit->SetTextColor(0x00102030);
  HDC dc = GetDC(edit->Handle());
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageW(form->Handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit->Handle())));
  EXPECT_EQ(brush, edit->BrushHandle());
  EXPECT_EQ(GetBkColor(dc), 0x00336699u);
  EXPECT_EQ(GetTextColor(dc), 0x00102030u);
  LOGBRUSH lb{};
  ASSERT_NE(GetObjectW(brush, sizeof lb, &lb), 0);
  EXPECT_EQ(lb.lbColor, 0x00336699u);
  edit->Transparent = true;
  SendMessageW(form->Handle(), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit->Handle()));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  ReleaseDC(edit->Handle(), dc);
}

TEST(Notifications, ShowAndHideEventsFollowVisibility) {
  test::TXInputLock inputLock;  // a shown window takes the foreground: not while a test types
  ASSERT_TRUE(inputLock.Held());
  test::TAppStateGuard state;
  TObjPtr<TControl> form(CreateForm(nullptr, "visibility"));
  form->Hide();
  TEventCounter counter;
  form->ShowEvent = MakeMethod<&TEventCounter::Shown>(&counter);
  form->HideEvent = MakeMethod<&TEventCounter::Hidden>(&counter);
  ASSERT_TRUE(form->CreateControlWindow());
  EXPECT_FALSE(form->Visible());
  form->Show();
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(counter.shows, 1);
  form->Hide();
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(counter.hides, 1);
}

// ---------------------------------------------------------------------------------------------

struct TKeyProbe {
  std::string chars;
  std::vector<int> downs;
  int consumeKey = 0;
  char consumeChar = 0;
  void OnKeyDown(TControl*, int& key) {
    downs.push_back(key);
    if (key == consumeKey) key = 0;
  }
  void OnChar(TControl*, char& key) {
    chars.push_back(key);
    if (key == consumeChar) key = 0;
  }
};

TEST(Keys, TypedCharactersReachHandlersAsCp1251AndMayBeConsumed) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "keys"));
  TControl* edit = CreateEditBox(form.get(), 0);
  TKeyProbe probe;
  probe.consumeChar = 'x';
  probe.consumeKey = VK_F5;
  edit->CharEvent = MakeMethod<&TKeyProbe::OnChar>(&probe);
  edit->KeyDownEvent = MakeMethod<&TKeyProbe::OnKeyDown>(&probe);
  ASSERT_TRUE(edit->CreateControlWindow());
  edit->Focus();
  ASSERT_TRUE(edit->Focused());
  for (const wchar_t c : WideString(L"ЖxЁ")) SendMessageW(edit->Handle(), WM_CHAR, c, 1);
  EXPECT_EQ(probe.chars, std::string("ЖxЁ"_cp1251));
  EXPECT_EQ(edit->GetText(), std::string("ЖЁ"_cp1251));  // the consumed x never reached the control
  wchar_t text[8] = {};
  GetWindowTextW(edit->Handle(), text, 8);
  EXPECT_EQ(WideString(text), L"ЖЁ");
  SendMessageW(edit->Handle(), WM_KEYDOWN, VK_F5, 1);
  SendMessageW(edit->Handle(), WM_KEYDOWN, 'A', 1);
  EXPECT_EQ(probe.downs, (std::vector<int>{VK_F5, 'A'}));
}

TEST(Keys, KeyMessagesOfAControlWithoutFocusAreIgnored) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "keys"));
  TControl* edit = CreateEditBox(form.get(), 0);
  TControl* other = CreateEditBox(form.get(), 0);
  TKeyProbe probe;
  edit->CharEvent = MakeMethod<&TKeyProbe::OnChar>(&probe);
  ASSERT_TRUE(edit->CreateControlWindow() && other->CreateControlWindow());
  other->Focus();
  SendMessageW(edit->Handle(), WM_CHAR, L'a', 1);
  EXPECT_TRUE(probe.chars.empty());
  EXPECT_EQ(edit->GetText(), "");
}

struct TClickCount {
  int count = 0;
  void OnClick(TControl*) { ++count; }
};

TEST(Keys, EnterPressesTheDefaultButtonUnlessTheFocusedControlKeepsIt) {
  // The focused control (class and kind) -> whether Enter presses the form's default button.
  struct TCase {
    const char* what;
    const char* className;
    DWORD kind;
    bool pressed;
  };
  const TCase cases[] = {
      {"push button", "BUTTON", BS_PUSHBUTTON, false},
      {"default push button", "BUTTON", BS_DEFPUSHBUTTON, false},
      {"check box", "BUTTON", BS_CHECKBOX, true},
      {"automatic check box", "BUTTON", BS_AUTOCHECKBOX, true},
      {"three-state check box", "BUTTON", BS_AUTO3STATE, true},
      {"radio button", "BUTTON", BS_RADIOBUTTON, true},
      {"automatic radio button", "BUTTON", BS_AUTORADIOBUTTON, true},
      {"single-line edit box", "EDIT", ES_AUTOHSCROLL, true},
      {"multi-line edit box", "EDIT", ES_MULTILINE, false},
  };
  for (const TCase& c : cases) {
    test::TAppStateGuard state;
    TObjPtr<TControl> app(test::HiddenApp("enter-app"));
    TControl* form = test::HiddenForm(app.get(), "enter");
    const bool edit = std::string(c.className) == "EDIT";
    TControl* focused = CreateStandardControl(form, c.className, WS_CHILD | WS_VISIBLE | WS_TABSTOP | c.kind, false,
                                              edit ? &EditCommands : &ButtonCommands);
    TControl* ok = CreateButton(form, "ok");
    TClickCount clicks;
    ok->ClickEvent = MakeMethod<&TClickCount::OnClick>(&clicks);
    ok->SetDefaultButton(true);
    ASSERT_TRUE(focused->CreateControlWindow() && ok->CreateControlWindow()) << c.what;
    focused->Focus();
    ASSERT_TRUE(focused->Focused()) << c.what;
    AppRunning = true;  // the application's key handling takes part while the loop runs
    SendMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 1);
    SendMessageW(GetFocus(), WM_KEYUP, VK_RETURN, 0xC0000001);
    PumpQueued();
    EXPECT_EQ(clicks.count, c.pressed ? 1 : 0) << c.what;
    EXPECT_EQ(ok->Focused(), c.pressed) << c.what;
  }
}

}  // namespace
}  // namespace fliran
