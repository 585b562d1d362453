// Item and text operations of the edit and combo box kinds, sent to real controls.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/cp1251.h"
#include "toolkit/control.h"
#include "toolkit/graphics.h"
#include "toolkit/win.h"
#include "toolkit_test.h"
#include "x_input.h"

namespace fliran {
namespace {

// One case of an item operation: a fresh control with the initial text, the operations (their
// answers written one after another, separated by "|"), and the text the control holds then.
struct TItemCase {
  const char* what;
  std::string initial;
  std::function<std::string(TControl*)> act;
  std::string answers;
  std::string text;
};

std::string Num(std::int32_t n) { return std::to_string(n); }

// The item count and every item, then one item past the end and one before the start.
std::string Items(TControl* c) {
  std::string out = Num(c->ItemCount());
  for (std::int32_t i = -1; i <= c->ItemCount(); ++i) out += "|" + c->GetItemText(i);
  return out;
}

// 300 words: wraps into many display lines in a 200-pixel memo without horizontal scrolling.
std::string LongWrappingLine() {
  std::string line;
  for (int i = 0; i < 300; ++i) line += "word ";
  return line;
}

void RunItemCases(TControl* (*make)(TControl* form), const std::vector<TItemCase>& cases) {
  for (const TItemCase& c : cases) {
    test::TAppStateGuard state;
    TObjPtr<TControl> form(test::HiddenForm(nullptr, "items"));
    TControl* control = make(form.get());
    ASSERT_TRUE(control->CreateControlWindow()) << c.what;
    if (!c.initial.empty()) control->SetText(c.initial);
    EXPECT_EQ(c.act(control), c.answers) << c.what;
    EXPECT_EQ(control->GetText(), c.text) << c.what;
  }
}

TControl* MakeMemo(TControl* form) { return CreateEditBox(form, EditNoHScroll | EditMultiline | EditNoHideSel); }
TControl* MakeSingleLine(TControl* form) { return CreateEditBox(form, 0); }

TEST(EditItems, OperationsWorkOnTheLinesOfTheText) {
  const std::string abc = "alpha\r\nbeta\r\ngamma";
  // 300 lines, two characters below the platform's default text limit of 30 000.
  std::string full;
  for (int i = 0; i < 299; ++i) full += std::string(98, 'x') + "\r\n";
  full += std::string(98, 'x');
  const std::string cyrillic("ПОВОРОТ ГЛАЗ\r\nКАДРЫ"_cp1251);
  const std::vector<TItemCase> memoCases = {
      {"lines are the items", abc,
       [](TControl* m) {
         std::string answers = Items(m);
         for (std::int32_t i = 0; i < 3; ++i) answers += "|" + Num(m->LineStart(i));
         return answers;
       },
       "3||alpha|beta|gamma||0|7|13", abc},
      {"an empty memo reports one empty line", "", Items, "1|||", ""},
      {"Cyrillic lines come back as CP1251", cyrillic, Items,
       std::string("2||ПОВОРОТ ГЛАЗ|КАДРЫ|"_cp1251), cyrillic},
      {"set item text replaces the line with its break", abc,
       [](TControl* m) {
         m->SetItemText(1, "BETA2\r\n");
         m->SetItemText(2, "last");    // the last line runs to the end of the text
         m->SetItemText(3, "beyond");  // out of range: nothing
         return std::string();
       },
       "", "alpha\r\nBETA2\r\nlast"},
      {"add appends to the text and answers the line it ends on", "a",
       [](TControl* m) {
         std::string answers = Num(m->AddItemText("\r\n"));
         answers += "|" + Num(m->AddItemText("b"));
         return answers + "|" + Num(m->ItemCount());
       },
       "1|1|2", "a\r\nb"},
      {"add counts the lines of the text, not the wrapped display lines", LongWrappingLine(),
       [](TControl* m) {
         std::string answers = m->ItemCount() > 1 ? "wraps" : "no wrap";  // EM_GETLINECOUNT counts display lines
         answers += "|" + Num(m->AddItemText("\r\n"));
         return answers + "|" + Num(m->AddItemText("b"));
       },
       "wraps|1|1", LongWrappingLine() + "\r\nb"},
      {"add keeps the whole reply beyond the default text limit", full,
       [](TControl* m) {
         std::string answers = Num(m->AddItemText("reply-1"));
         for (int i = 0; i < 2; ++i) answers += "|" + Num(m->AddItemText("\r\n" + std::string(5000, 'y')));
         return answers;
       },
       "299|300|301", full + "reply-1\r\n" + std::string(5000, 'y') + "\r\n" + std::string(5000, 'y')},
      {"unsupported operations answer as documented", "a\r\nb",
       [](TControl* m) {
         const std::int32_t inserted = m->InsertItemText(0, "x");
         m->SetItemValue(0, 42);
         m->SetCurrentIndex(1);  // no message for the edit control
         m->DeleteItem(0);
         return Num(inserted) + "|" + Num(m->GetItemValue(0)) + "|" + Num(m->FindItem("a", true));
       },
       "-1|0|-1", "a\r\nb"},
      {"the current index is the start of the caret's line", "one\r\ntwo\r\nthree",
       [](TControl* m) {
         m->SetSelStart(7);  // inside "two"
         return Num(m->CurrentIndex());
       },
       "5", "one\r\ntwo\r\nthree"},
  };
  RunItemCases(&MakeMemo, memoCases);

  const std::vector<TItemCase> singleLineCases = {
      {"selection start and length", "0123456789",
       [](TControl* e) {
         e->SetSelStart(3);
         std::string answers = Num(e->SelStart()) + "|" + Num(e->SelLength());
         e->SetSelLength(4);
         answers += "|" + Num(e->SelStart()) + "|" + Num(e->SelLength());
         e->SetSelLength(-1);  // to the end
         return answers + "|" + Num(e->SelLength());
       },
       "3|0|3|4|7", "0123456789"},
      {"clear empties the text", "x",
       [](TControl* e) {
         e->ClearItems();
         return std::string();
       },
       "", ""},
      {"the text limit stops typing", "",
       [](TControl* e) {
         e->SetTextLimit(3);
         e->Focus();
         for (wchar_t ch : WideString(L"abcdef")) SendMessageW(e->Handle(), WM_CHAR, ch, 0);
         return std::string(e->Focused() ? "focused" : "not focused");
       },
       "focused", "abc"},
  };
  RunItemCases(&MakeSingleLine, singleLineCases);
}

// ---------------------------------------------------------------------------------------------

TControl* MakeCombo(TControl* form) { return CreateComboBox(form, 0); }

void AddLines(TControl* combo, std::initializer_list<const char*> lines) {
  for (const char* line : lines) combo->AddItemText(line);
}

TEST(ComboItems, OperationsWorkOnTheItems) {
  const std::string port("ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251);
  const std::vector<TItemCase> cases = {
      {"add, insert and read items", "",
       [](TControl* c) {
         std::string answers = Num(c->ItemCount());
         answers += "|" + Num(c->AddItemText("COM 1"));
         answers += "|" + Num(c->AddItemText("COM 3"));
         answers += "|" + Num(c->InsertItemText(1, "COM 2"));
         answers += "|" + Items(c);
         answers += "|" + Num(c->FindItem("COM 2", true));
         answers += "|" + Num(c->FindItem("COM", false));
         return answers + "|" + Num(c->FindItem("LPT", true));
       },
       "0|0|1|1|3||COM 1|COM 2|COM 3||1|0|-1", ""},
      {"current index and values", "",
       [](TControl* c) {
         AddLines(c, {"a", "b"});
         std::string answers = Num(c->CurrentIndex());
         c->SetCurrentIndex(1);
         c->SetItemValue(0, 77);
         c->SetItemValue(1, -5);
         return answers + "|" + Num(c->CurrentIndex()) + "|" + Num(c->GetItemValue(0)) + "|" + Num(c->GetItemValue(1));
       },
       "-1|1|77|-5", "b"},  // the edit field shows the current line
      {"set item text keeps the current index and the value", "",
       [](TControl* c) {
         AddLines(c, {"a", "b", "c"});
         c->SetItemValue(1, 9);
         c->SetCurrentIndex(2);
         c->SetItemText(1, "B");
         return Items(c) + "|" + Num(c->GetItemValue(1)) + "|" + Num(c->CurrentIndex());
       },
       "3||a|B|c||9|2", "c"},
      {"delete and clear", "",
       [](TControl* c) {
         AddLines(c, {"a", "b"});
         c->DeleteItem(0);
         const std::string after = Items(c);
         c->ClearItems();
         return after + "|" + Num(c->ItemCount());
       },
       "1||b||0", ""},
      {"selection operations do nothing; a line starts at its index", "abc",
       [](TControl* c) {
         c->SetSelStart(1);
         return Num(c->SelStart()) + "|" + Num(c->LineStart(4));
       },
       "0|4", "abc"},
      {"Cyrillic items", "",
       [port](TControl* c) {
         c->AddItemText(port);
         wchar_t text[64] = {};
         SendMessageW(c->Handle(), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
         const bool platformText = WideString(text) == L"ПОРТ НЕ ОПРЕДЕЛЁН";
         return c->GetItemText(0) + "|" + Num(c->FindItem(port, true)) + "|" + (platformText ? "wide" : "garbled");
       },
       port + "|0|wide", ""},
  };
  RunItemCases(&MakeCombo, cases);
}

// The platform updates the edit text after its selection notification; the selection handler
// runs later and sees both settled.
TEST(ComboItems, SelectionHandlerRunsAfterThePlatformSettledIndexAndText) {
  test::TAppStateGuard state;
  TObjPtr<TControl> form(test::HiddenForm(nullptr, "combo-items"));
  TControl* combo = CreateComboBox(form.get(), 0);
  ASSERT_TRUE(combo->CreateControlWindow());
  for (const char* line : {"zero", "one", "two", "three"}) combo->AddItemText(line);
  combo->SetCurrentIndex(0);
  test::TSelectionProbe probe;
  combo->SelectionEvent = MakeMethod<&test::TSelectionProbe::OnSelect>(&probe);
  combo->Focus();
  SendMessageW(combo->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  SendMessageW(combo->Handle(), WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(probe.calls, 0);  // not delivered inside the notification
  test::PumpQueued();
  ASSERT_GE(probe.calls, 1);
  EXPECT_EQ(probe.index, 2);
  EXPECT_EQ(probe.text, "two");
}

// ---------------------------------------------------------------------------------------------
// Owner-drawn combo box: the form asks the combo box's handlers for the row height and the
// drawing of an item.

struct TOwnerDraw {
  std::vector<int> measured;  // item ids asked for
  std::vector<UINT> drawn;    // item ids drawn
  int Measure(TControl*, int index) {
    measured.push_back(index);
    return 23;
  }
  bool Draw(TControl*, const DRAWITEMSTRUCT& item) {
    drawn.push_back(item.itemID);
    const TBrushHandle red(CreateSolidBrush(RGB(255, 0, 0)));
    FillRect(item.hDC, &item.rcItem, red.get());
    return true;
  }
};

// A white memory surface compatible with the screen, to paint a control into.
class TMemorySurface {
 public:
  TMemorySurface(int w, int h) {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_.reset(CreateCompatibleBitmap(screen, w, h));
    ReleaseDC(nullptr, screen);
    old_ = SelectObject(dc_, bitmap_.get());
    const RECT all{0, 0, w, h};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~TMemorySurface() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  TMemorySurface(const TMemorySurface&) = delete;
  TMemorySurface& operator=(const TMemorySurface&) = delete;
  HDC Dc() const { return dc_; }

 private:
  HDC dc_ = nullptr;
  TBitmapHandle bitmap_;
  HGDIOBJ old_ = nullptr;
};

TEST(OwnerDrawnCombo, RowHeightComesFromTheMeasureHandlerAndItemsFromTheDrawHandler) {
  test::TXInputLock inputLock;  // a shown window takes the foreground: not while a test types
  ASSERT_TRUE(inputLock.Held());
  test::TAppStateGuard state;
  // Shown: the platform paints the item of a visible combo box only.
  TObjPtr<TControl> form(CreateForm(nullptr, "owner-drawn"));
  form->SetBoundsRect(RECT{700, 300, 900, 400});
  TControl* combo = CreateComboBox(form.get(), ComboDropDownList | ComboOwnerDrawFixed);
  combo->SetBoundsRect(RECT{0, 0, 120, 22});
  TOwnerDraw probe;
  combo->MeasureItemEvent = MakeMethod<&TOwnerDraw::Measure>(&probe);
  combo->DrawItemEvent = MakeMethod<&TOwnerDraw::Draw>(&probe);
  // The platform measures a fixed owner-drawn combo box while it makes the window.
  ASSERT_TRUE(combo->CreateControlWindow());
  EXPECT_FALSE(probe.measured.empty());
  EXPECT_EQ(SendMessageW(combo->Handle(), CB_GETITEMHEIGHT, 0, 0), 23);
  combo->AddItemText("zero");
  combo->AddItemText("one");
  combo->SetCurrentIndex(1);
  // Painting the closed combo box into a memory surface draws the current item through the
  // handler.
  TMemorySurface surface(120, 60);
  SendMessageW(combo->Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
  ASSERT_FALSE(probe.drawn.empty());
  EXPECT_EQ(probe.drawn.back(), 1u);
  RECT client{};
  GetClientRect(combo->Handle(), &client);
  EXPECT_EQ(GetPixel(surface.Dc(), 6, (client.top + client.bottom) / 2), RGB(255, 0, 0));
}

}  // namespace
}  // namespace fliran
