// The constructors of the control kinds and the option tables of the edit and combo boxes.
#include <string>

#include "runtime/app.h"
#include "toolkit/control.h"
#include "toolkit/control_internal.h"

namespace fliran {

namespace {

std::uint16_t gNextControlId = FirstControlId;

// Where the application window lies: left of and above any screen arrangement.
constexpr LONG AppWindowOffScreen = -32000;

// Every control is made here: a control with a parent is owned by it (freed with it), a
// parentless one by the caller.
TControl* NewControl(TControl* parent, std::string className) { return new TControl(parent, std::move(className)); }

}  // namespace

bool AppWindowExists() { return AppWindowCount > 0; }

std::uint16_t NextControlId() { return gNextControlId; }

TControl* CreateAppWindow(std::string_view caption) {
  TControl* app = NewControl(nullptr, "App");
  TControlAccess::Style(app) = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // 0x90CA0000
  TControlAccess::Visible(app) = true;
  TControlAccess::ExStyle(app) = WS_EX_APPWINDOW;
  TControlAccess::Caption(app) = std::string(caption);
  // The application window stays visible (that keeps its taskbar button) but is never seen: it
  // lies far outside every screen, so only the forms show.
  app->PlacedExplicitly = true;
  constexpr LONG away = AppWindowOffScreen;
  TControlAccess::Bounds(app) = RECT{away, away, away + 64, away + 64};
  app->AfterCreateHook = MakeProc<&AppWindowAfterCreate>();
  app->AttachHook(MakeProc<&AppWindowHook>());
  ++AppWindowCount;
  if (AppWindow == nullptr) AppWindow = app;
  return app;
}

TControl* CreateForm(TControl* parent, std::string_view caption) {
  TControl* form = NewControl(parent, "Form");
  form->ClassStyle |= CS_DBLCLKS;
  TControlAccess::Style(form) = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VISIBLE;
  TControlAccess::Visible(form) = true;
  TControlAccess::Caption(form) = std::string(caption);
  form->AttachHook(MakeProc<&FormHook>());
  return form;
}

TControl* CreateStandardControl(TControl* parent, std::string_view className, DWORD style, bool frame,
                                const TCommandTable* commands) {
  TControl* c = NewControl(parent, std::string(className));
  if (commands != nullptr) c->Commands = *commands;
  c->CommonControl = true;
  c->PlacedExplicitly = true;
  style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  DWORD exStyle = 0;
  c->TabStop = (style & WS_TABSTOP) != 0;
  TControl* form = parent != nullptr ? parent->ParentForm() : nullptr;
  if (form != nullptr) c->TabOrder = ++form->ControlCounter;
  if (frame) {
    style &= ~static_cast<DWORD>(WS_BORDER);
    exStyle |= WS_EX_CLIENTEDGE;
  }
  TControlAccess::Style(c) = style;
  TControlAccess::Visible(c) = (style & WS_VISIBLE) != 0;
  TControlAccess::ExStyle(c) = exStyle;
  if (c->TabStop && form != nullptr && form->FocusedControl == nullptr) form->FocusedControl = c;
  c->ControlId = gNextControlId++;
  c->NavigationKeys = NavigateTab | NavigateLeftRight | NavigateUpDown | NavigatePages;
  c->AttachHook(MakeProc<&CommonControlHook>());
  return c;
}

namespace {

// Option tables: a non-negative entry adds its style when the option is chosen; a negative entry
// is the complement of a style that is present unless the option is chosen.
DWORD StyleFromOptions(std::uint32_t options, const std::int64_t* table, int entries) {
  DWORD style = 0;
  for (int i = 0; i < entries; ++i) {
    if (table[i] < 0) style |= static_cast<DWORD>(~table[i]);
  }
  for (int i = 0; i < entries; ++i) {
    if ((options & (1u << i)) == 0) continue;
    if (table[i] < 0) {
      style &= static_cast<DWORD>(table[i]);
    } else {
      style |= static_cast<DWORD>(table[i]);
    }
  }
  return style;
}

constexpr std::int64_t Complement(DWORD style) { return ~static_cast<std::int64_t>(style); }

constexpr std::int64_t EditOptionTable[] = {
    Complement(WS_HSCROLL | ES_AUTOHSCROLL), Complement(WS_VSCROLL | ES_AUTOVSCROLL),
    ES_LOWERCASE, ES_MULTILINE, ES_NOHIDESEL, ES_OEMCONVERT, ES_PASSWORD, ES_READONLY,
    ES_UPPERCASE, ES_WANTRETURN, 0 /* want tab: no style */, ES_NUMBER,
};

constexpr std::int64_t ComboOptionTable[] = {
    CBS_DROPDOWNLIST, Complement(CBS_AUTOHSCROLL), CBS_DISABLENOSCROLL, CBS_LOWERCASE, CBS_NOINTEGRALHEIGHT,
    CBS_OEMCONVERT, CBS_SORT, CBS_UPPERCASE, CBS_OWNERDRAWFIXED, CBS_OWNERDRAWVARIABLE, CBS_SIMPLE,
};

}  // namespace

DWORD EditStyleFor(std::uint32_t options) {
  DWORD style = StyleFromOptions(options, EditOptionTable, 12);
  style |= WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP;  // 0x50810000
  if ((options & EditMultiline) == 0) style &= ~static_cast<DWORD>(WS_HSCROLL | WS_VSCROLL);
  return style;
}

DWORD ComboStyleFor(std::uint32_t options) {
  DWORD style = StyleFromOptions(options, ComboOptionTable, 11);
  if ((options & (ComboDropDownList | ComboSimple)) == 0) style |= CBS_DROPDOWN;
  style |= WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_HASSTRINGS;  // 0x50210200
  return style;
}

TControl* CreateEditBox(TControl* parent, std::uint32_t options) {
  TControl* edit = CreateStandardControl(parent, "EDIT", EditStyleFor(options), false, &EditCommands);
  const bool multiline = (options & EditMultiline) != 0;
  TControlAccess::Bounds(edit) = multiline ? RECT{0, 0, 200, 222} : RECT{0, 0, 100, 22};
  edit->NavigationKeys = multiline ? NavigateTab : NavigateTab | NavigateUpDown | NavigatePages;
  if ((options & EditWantTab) != 0) edit->NavigationKeys &= static_cast<std::uint8_t>(~NavigateTab);
  return edit;
}

TControl* CreateComboBox(TControl* parent, std::uint32_t options) {
  TControl* combo = CreateStandardControl(parent, "COMBOBOX", ComboStyleFor(options), false, &ComboBoxCommands);
  combo->ClassStyle |= CS_DBLCLKS;
  TControlAccess::Bounds(combo) = RECT{0, 0, 100, 22};
  combo->NavigationKeys = (options & ComboDropDownList) != 0 ? NavigateTab | NavigateLeftRight : NavigateTab;
  combo->Coloured = false;
  combo->AfterCreateHook = MakeProc<&ComboBoxAfterCreate>();
  combo->AttachHook(MakeProc<&ComboBoxHook>());
  return combo;
}

TControl* CreateLabel(TControl* parent, std::string_view caption) {
  TControl* label = CreateStandardControl(parent, "STATIC", 0x5000018C, false, &LabelCommands);
  TControlAccess::Caption(label) = std::string(caption);
  return label;
}

TControl* CreateButton(TControl* parent, std::string_view caption) {
  TControl* button =
      CreateStandardControl(parent, "BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, false, &ButtonCommands);
  TControlAccess::Caption(button) = std::string(caption);
  return button;
}

}  // namespace fliran
