// The memo and the combo box: picking a combo line for real, then the list inputs, outputs and
// operations through links and calls.
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "runtime/cp1251.h"
#include "runtime/start_procs.h"
#include "toolkit/win.h"
#include "visual/combo_box.h"
#include "visual/memo.h"
#include "visual_test.h"

#include <commctrl.h>

namespace fliran {
namespace {

using fliran::testing::IntValue;
using fliran::testing::StrValue;
using test::Recorder;

// The lines the panel gives its combo box.
const std::string PanelPorts{
    "ПОРТ НЕ ОПРЕДЕЛЁН\r\nCOM 1\r\nCOM 2\r\nCOM 3\r\nCOM 4\r\nCOM 5\r\nCOM 6\r\nCOM 7\r\nCJM 8\r\nCOM 9\r\n"_cp1251};
const std::string NoPort{"ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251};

// The list base has no way to set all lines: it cannot be made, only the two kinds can.
static_assert(std::is_abstract_v<TKvornWinList>);
static_assert(!std::is_abstract_v<TKvornMemo> && !std::is_abstract_v<TKvornComboBox>);

enum class Kind { Memo, Combo };

class Lists : public test::ElementTest {
 protected:
  void SetUp() override {
    ElementTest::SetUp();
    form_ = MakeForm(nullptr, RECT{700, 400, 1000, 700});
    form_->SetCaption(caption_);
    form_->Init();
  }
  void TearDown() override {
    memo_.reset();
    combo_.reset();
    ElementTest::TearDown();
  }
  // A memo with the panel's settings.
  TKvornMemo* MakeMemo(std::string text, std::uint8_t addToTop = 0) {
    memo_ = std::make_unique<TKvornMemo>(form_->Control);
    test::Place(*memo_, RECT{10, 50, 290, 250});
    memo_->ScrollBars = 2;
    memo_->Editable = 1;
    memo_->Text = std::move(text);
    memo_->AddToTop = addToTop;
    memo_->Init();
    return memo_.get();
  }
  // A combo box with the panel's settings unless told otherwise.
  TKvornComboBox* MakeCombo(std::string strings, std::uint8_t editable = 1, std::uint32_t styleFlags = 0) {
    combo_ = std::make_unique<TKvornComboBox>(form_->Control);
    test::Place(*combo_, RECT{10, 10, 210, 32});
    combo_->Editable = editable;
    combo_->Text = NoPort;
    combo_->Strings = std::move(strings);
    combo_->ItemHeight = 20;
    combo_->StyleFlags = styleFlags;
    combo_->Init();
    return combo_.get();
  }
  TKvornWinList* Make(Kind kind, const std::string& lines) {
    if (kind == Kind::Memo) return MakeMemo(lines);
    return MakeCombo(lines);
  }
  // Fires value into the list's point through a link, as the runtime does.
  template <auto Point, class Element>
  static void Fire(Element* element, TData value) {
    const TKvorn_Event e = MakeEvent<Point>(element, 0, 0);
    FireEvent(&e, &value);
  }
  static std::string Text(TKvornWinList* list) {
    TData d;
    list->valText(&d, 0);
    return ToString(d);
  }
  // The values of the recorder that arrived empty (inAdd's and inClear's report).
  static int EmptyValues(const Recorder& rec) {
    int n = 0;
    for (const TData& d : rec.values) n += d.Tag == TagEmpty;
    return n;
  }

  std::string caption_ = test::UniqueCaption("lists");
  TKvornMainForm* form_ = nullptr;
  std::unique_ptr<TKvornMemo> memo_;
  std::unique_ptr<TKvornComboBox> combo_;
};

TEST_F(Lists, PickingAComboLineFiresItsIndexWithTheStoredInteger) {
  test::TXInputLock inputLock;
  ASSERT_TRUE(inputLock.Held());
  TKvornComboBox* combo = MakeCombo(PanelPorts);
  combo->Control->SetItemValue(3, 42);
  Recorder picks;
  std::vector<int> chained;
  picks.onValue = [&](TData* d) { chained.push_back(d->Next != nullptr ? ToInteger(*d->Next) : -100); };
  combo->outSelect = picks.Link();
  RunStartProcs();
  const RECT bounds = combo->Control->ClientRect();
  POINT arrow{bounds.right - 6, bounds.bottom / 2};
  ClientToScreen(combo->Control->Handle(), &arrow);
  ASSERT_TRUE(test::XInputOn(caption_, "mousemove --sync " + test::At(arrow) + " click 1"));
  ASSERT_TRUE(test::PumpUntil([&] { return combo->Control->DroppedDown; }));
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetComboBoxInfo(combo->Control->Handle(), &info));
  RECT row{};
  ASSERT_NE(SendMessageW(info.hwndList, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&row)), LB_ERR);
  POINT line{row.left + 20, (row.top + row.bottom) / 2};
  ClientToScreen(info.hwndList, &line);
  ASSERT_TRUE(test::XInputOn(caption_, "mousemove --sync " + test::At(line) + " click 1"));
  ASSERT_TRUE(test::PumpUntil([&] { return !picks.values.empty(); }));
  test::PumpQueued();
  EXPECT_EQ(test::Ints(picks), std::vector<int>{3});
  EXPECT_EQ(chained, std::vector<int>{42});
  TData index;
  combo->valIndex(&index, 2);
  EXPECT_TRUE(IsInteger(index));
  EXPECT_EQ(ToInteger(index), 3);
  EXPECT_EQ(combo->Control->GetText(), "COM 3");
}

TEST_F(Lists, ComboBoxFromThePanelsLinesHasNoCurrentLineOnlyWhenEditable) {
  struct Row {
    std::uint8_t editable;
    int current;
    std::string shown;
  } const rows[] = {{1, -1, NoPort}, {0, 0, NoPort}};
  for (const Row& row : rows) {
    SCOPED_TRACE(int(row.editable));
    TKvornComboBox* combo = MakeCombo(PanelPorts, row.editable);
    ASSERT_EQ(combo->Control->ItemCount(), 10);
    EXPECT_EQ(combo->Control->GetItemText(0), NoPort);
    EXPECT_EQ(combo->Control->GetItemText(8), "CJM 8");
    EXPECT_EQ(combo->Control->GetItemText(9), "COM 9");
    EXPECT_EQ(combo->Control->CurrentIndex(), row.current);
    EXPECT_EQ(combo->Control->GetText(), row.shown);
    EXPECT_EQ((combo->Control->Style() & 3u) == CBS_DROPDOWN, row.editable != 0);
  }
}

TEST_F(Lists, MemoAddPutsEachPieceOnItsOwnLineAndReportsIt) {
  struct Row {
    std::uint8_t addToTop;
    std::vector<std::string> pieces;
    std::string text;
  } const rows[] = {
      {0, {"A", "B"}, "A\r\nB"},
      {0, {"A\r\n", "B"}, "A\r\nB"},  // no doubled break
      {0, {"", "A"}, "A"},
      {1, {"A", "B"}, "B\r\nA\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    TKvornMemo* memo = MakeMemo("", row.addToTop);
    Recorder changes;
    memo->outChange = changes.Link();
    for (const std::string& piece : row.pieces) Fire<&TKvornWinList::inAdd>(memo, StrValue(piece));
    EXPECT_EQ(memo->Control->GetText(), row.text);
    EXPECT_EQ(EmptyValues(changes), static_cast<int>(row.pieces.size()));
    ASSERT_GE(changes.values.size(), 2u);
    EXPECT_EQ(changes.values.back().Tag, TagEmpty) << "reported after the line is in place";
    // Before it, the control's own change report carries the whole text (a multi-line edit
    // control reports no change of its whole text, which is how the memo adds to the top).
    if (row.addToTop == 0) {
      EXPECT_EQ(ToString(changes.values[changes.values.size() - 2]), row.text);
    }
  }
}

// Leaves WM_SETREDRAW to the platform's default handling, which switches redrawing off by
// clearing the window's visible bit (the controls of some platforms handle it themselves).
LRESULT CALLBACK DefaultRedraw(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_SETREDRAW) return DefWindowProcW(wnd, message, wParam, lParam);
  return DefSubclassProc(wnd, message, wParam, lParam);
}

TEST_F(Lists, SettingAllLinesOfAShownListKeepsItShownAndTheMemoTakesAClick) {
  test::TXInputLock inputLock;
  ASSERT_TRUE(inputLock.Held());
  for (const bool defaultRedraw : {false, true}) {
    for (Kind kind : {Kind::Combo, Kind::Memo}) {
      SCOPED_TRACE(std::string(kind == Kind::Memo ? "memo" : "combo box") + (defaultRedraw ? ", default redraw" : ""));
      TKvornWinList* list = Make(kind, "");
      if (defaultRedraw) SetWindowSubclass(list->Control->Handle(), &DefaultRedraw, 1, 0);
      RunStartProcs();
      ASSERT_TRUE(IsWindowVisible(list->Control->Handle()));
      list->SetItemsText("a\r\nb\r\n");
      EXPECT_EQ(Text(list), "a\r\nb");
      EXPECT_TRUE(IsWindowVisible(list->Control->Handle()));
    }
    POINT middle{100, 50};
    ClientToScreen(memo_->Control->Handle(), &middle);
    ASSERT_TRUE(test::XInputOn(caption_, "mousemove --sync " + test::At(middle) + " click 1"));
    EXPECT_TRUE(test::PumpUntil([&] { return GetFocus() == memo_->Control->Handle(); })) << "the click missed the memo";
    SetFocus(nullptr);
  }
}

TEST_F(Lists, ComboAddStoresTheChainedIntegerAndSelectsTheAddedLine) {
  TKvornComboBox* combo = MakeCombo(PanelPorts);
  combo->SelectAdded = 1;
  Recorder changes;
  combo->outChange = changes.Link();
  TData stored = IntValue(77);
  TData value = StrValue("COM 10");
  value.Next = &stored;
  Fire<&TKvornWinList::inAdd>(combo, value);
  ASSERT_EQ(combo->Control->ItemCount(), 11);
  EXPECT_EQ(combo->Control->GetItemText(10), "COM 10");
  EXPECT_EQ(combo->Control->GetItemValue(10), 77);
  EXPECT_EQ(combo->Control->CurrentIndex(), 10);
  EXPECT_EQ(EmptyValues(changes), 1);
}

TEST_F(Lists, ComboReportsItsEditFieldTextOnlyWhenEditable) {
  for (const int editable : {1, 0}) {
    TKvornComboBox* combo = MakeCombo(PanelPorts, static_cast<std::uint8_t>(editable));
    Recorder texts;
    combo->outEditText = texts.Link();
    combo->Control->SetText("COM 5");
    // What the platform tells the form when the user changed the edit field.
    SendMessageW(form_->Control->Handle(), WM_COMMAND, MAKEWPARAM(combo->Control->ControlId, CBN_EDITCHANGE),
                 reinterpret_cast<LPARAM>(combo->Control->Handle()));
    EXPECT_EQ(texts.values.size(), editable != 0 ? 1u : 0u);
    for (const TData& d : texts.values) EXPECT_EQ(ToString(d), "COM 5");
  }
}

TEST_F(Lists, ClearEmptiesTheListAndReportsItOnce) {
  for (Kind kind : {Kind::Memo, Kind::Combo}) {
    TKvornWinList* list = Make(kind, "a\r\nb\r\n");
    Recorder changes;
    list->outChange = changes.Link();
    Fire<&TKvornWinList::inClear>(list, TData{});
    EXPECT_EQ(Text(list), "");
    EXPECT_EQ(EmptyValues(changes), 1);
  }
}

TEST_F(Lists, TextJoinsTheLinesKeepingABreakOnlyBeforeAnEmptyLastLine) {
  struct Row {
    Kind kind;
    std::string lines;
    std::string text;
  } const rows[] = {
      {Kind::Combo, "a\r\n\r\nb\r\n", "a\r\n\r\nb"},
      {Kind::Combo, "a\r\n\r\n", "a\r\n\r\n"},
      {Kind::Memo, "a\r\n\r\nb", "a\r\n\r\nb"},
      {Kind::Memo, "a\r\n\r\n", "a\r\n\r\n"},
      {Kind::Memo, "a\r\nb\r\n", "a\r\nb"},  // a final break goes
      {Kind::Combo, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lines);
    EXPECT_EQ(Text(Make(row.kind, row.lines)), row.text);
  }
}

TEST_F(Lists, ReplaceItemChangesOnlyALineThatExistsWithItsBreak) {
  std::string many;
  for (int i = 0; i < 3000; ++i) many += "zzzzzzzz\r\n";  // at the platform's default text limit
  struct Row {
    Kind kind;
    std::string lines;
    TData index;
    std::string replacement, text;
  } const rows[] = {
      {Kind::Memo, "x", IntValue(0), "y", "y"},  // the one line, whole
      {Kind::Memo, "x\r\nz", IntValue(0), "y", "y\r\nz"},
      {Kind::Memo, "x\r\nz", StrValue("1"), "y", "x\r\ny"},
      {Kind::Memo, "x\r\nz", IntValue(2), "y", "x\r\nz"},  // index == ItemCount
      {Kind::Memo, "x\r\nz", IntValue(-1), "y", "x\r\nz"},
      {Kind::Memo, "x\r\n" + many, IntValue(0), "yyyy", "yyyy\r\n" + many.substr(0, many.size() - 2)},
      {Kind::Combo, "a\r\nb\r\n", IntValue(1), "y", "a\r\ny"},
      {Kind::Combo, "a\r\nb\r\n", IntValue(2), "y", "a\r\nb"},  // index == ItemCount
      {Kind::Combo, "a\r\nb\r\n", StrValue("none"), "y", "a\r\nb"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 12));
    TKvornWinList* list = Make(row.kind, row.lines);
    list->ReplaceItem(row.index, StrValue(row.replacement));
    const std::string got = Text(list);
    EXPECT_TRUE(got == row.text) << got.size() << " bytes: " << got.substr(0, 24);
  }
}

TEST_F(Lists, MemoSelectsALineWithItsBreakAndNothingForAnIndexOutOfRange) {
  TKvornMemo* memo = MakeMemo("ab\r\ncd\r\nef");
  struct Row {
    std::int32_t index;
    std::int32_t start, length;  // length 0: nothing selected
  } const rows[] = {{-1, 0, 0}, {0, 0, 4}, {1, 4, 4}, {2, 8, 2}, {3, 0, 0}, {1000, 0, 0}, {-7, 0, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.index);
    memo->Control->SetSelStart(5);
    memo->Control->SetSelLength(3);  // a selection the call replaces or takes away
    memo->SelectItem(row.index);
    EXPECT_EQ(memo->Control->SelLength(), row.length);
    if (row.length > 0) {
      EXPECT_EQ(memo->Control->SelStart(), row.start);
    }
    EXPECT_EQ(memo->Control->GetText(), "ab\r\ncd\r\nef");
  }
}

TEST_F(Lists, AttachmentsAreStoredAndOnlyOwnerDrawnRowsReachThePainter) {
  struct Probe {
    int attached = 0, detached = 0, painted = 0;
    void Attach(TControl*) { ++attached; }
    void Detach(TControl*) { ++detached; }
    bool Paint(const DRAWITEMSTRUCT&) { return ++painted > 0; }
  } probe;
  TKvornIconSource icons;
  icons.Attach = MakeMethod<&Probe::Attach>(&probe);
  icons.Detach = MakeMethod<&Probe::Detach>(&probe);
  TKvornItemPainter painter;
  painter.Paint = MakeMethod<&Probe::Paint>(&probe);
  for (const std::uint32_t styleFlags : {0u, 8u}) {
    SCOPED_TRACE(styleFlags);
    probe = Probe{};
    TKvornComboBox* combo = MakeCombo(PanelPorts, 0, styleFlags);
    EXPECT_EQ((combo->Control->Style() & CBS_OWNERDRAWFIXED) != 0, styleFlags != 0);
    combo->SetIconSource(nullptr);
    combo->SetItemPainter(nullptr);
    combo->SetImageSource(nullptr);
    EXPECT_EQ(combo->IconSource, nullptr);
    combo->SetIconSource(&icons);
    combo->SetItemPainter(&painter);
    EXPECT_EQ(probe.attached, 1);
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_COMBOBOX;
    item.CtlID = combo->Control->ControlId;
    item.itemID = 1;
    item.hwndItem = combo->Control->Handle();
    item.hDC = GetDC(item.hwndItem);
    const LRESULT handled = SendMessageW(form_->Control->Handle(), WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    ReleaseDC(item.hwndItem, item.hDC);
    EXPECT_EQ(probe.painted, styleFlags != 0 ? 1 : 0);
    EXPECT_EQ(handled != 0, styleFlags != 0);
    combo_.reset();
    EXPECT_EQ(probe.detached, 1);
  }
}

}  // namespace
}  // namespace fliran
