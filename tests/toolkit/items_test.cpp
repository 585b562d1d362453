// Item and text operations of the edit and combo box kinds, sent to real controls.
#include <gtest/gtest.h>

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

class EditItems : public ::testing::Test {
 protected:
  void SetUp() override {
    form.reset(test::HiddenForm(nullptr, "edit-items"));
    memo = CreateEditBox(form.get(), EditNoHScroll | EditMultiline | EditNoHideSel);
    single = CreateEditBox(form.get(), 0);
    ASSERT_TRUE(memo->CreateControlWindow());
    ASSERT_TRUE(single->CreateControlWindow());
  }
  test::TAppStateGuard state;
  TObjPtr<TControl> form;
  TControl* memo = nullptr;
  TControl* single = nullptr;
};

TEST_F(EditItems, LinesOfTheTextAreTheItems) {
  memo->SetText("alpha\r\nbeta\r\ngamma");
  EXPECT_EQ(memo->ItemCount(), 3);
  EXPECT_EQ(memo->GetItemText(0), "alpha");
  EXPECT_EQ(memo->GetItemText(1), "beta");
  EXPECT_EQ(memo->GetItemText(2), "gamma");
  EXPECT_EQ(memo->GetItemText(3), "");
  EXPECT_EQ(memo->GetItemText(-1), "");
  EXPECT_EQ(memo->LineStart(0), 0);
  EXPECT_EQ(memo->LineStart(1), 7);
  EXPECT_EQ(memo->LineStart(2), 13);
}

TEST_F(EditItems, AnEmptyEditReportsOneEmptyLine) {
  EXPECT_EQ(memo->ItemCount(), 1);
  EXPECT_EQ(memo->GetItemText(0), "");
}

TEST_F(EditItems, SetItemTextReplacesTheLineWithItsBreak) {
  memo->SetText("alpha\r\nbeta\r\ngamma");
  memo->SetItemText(1, "BETA2\r\n");
  EXPECT_EQ(memo->GetText(), "alpha\r\nBETA2\r\ngamma");
  // The last line runs to the end of the text.
  memo->SetItemText(2, "last");
  EXPECT_EQ(memo->GetText(), "alpha\r\nBETA2\r\nlast");
  memo->SetItemText(3, "beyond");  // out of range: nothing
  EXPECT_EQ(memo->GetText(), "alpha\r\nBETA2\r\nlast");
}

TEST_F(EditItems, AddItemTextAppendsToTheText) {
  memo->SetText("a");
  memo->AddItemText("\r\n");
  memo->AddItemText("b");
  EXPECT_EQ(memo->GetText(), "a\r\nb");
  EXPECT_EQ(memo->ItemCount(), 2);
}

TEST_F(EditItems, UnsupportedOperationsAnswerAsDocumented) {
  memo->SetText("a\r\nb");
  EXPECT_EQ(memo->InsertItemText(0, "x"), -1);
  memo->SetItemValue(0, 42);
  EXPECT_EQ(memo->GetItemValue(0), 0);
  memo->SetCurrentIndex(1);  // no message for the edit control
  memo->DeleteItem(0);
  EXPECT_EQ(memo->FindItem("a", true), -1);
  EXPECT_EQ(memo->GetText(), "a\r\nb");
}

TEST_F(EditItems, CurrentIndexIsTheStartOfTheCaretsLine) {
  memo->SetText("one\r\ntwo\r\nthree");
  memo->SetSelStart(7);  // inside "two"
  EXPECT_EQ(memo->CurrentIndex(), 5);
}

TEST_F(EditItems, SelectionStartAndLength) {
  single->SetText("0123456789");
  single->SetSelStart(3);
  EXPECT_EQ(single->SelStart(), 3);
  EXPECT_EQ(single->SelLength(), 0);
  single->SetSelLength(4);
  EXPECT_EQ(single->SelStart(), 3);
  EXPECT_EQ(single->SelLength(), 4);
  single->SetSelLength(-1);  // to the end
  EXPECT_EQ(single->SelLength(), 7);
}

TEST_F(EditItems, ClearItemsEmptiesTheText) {
  single->SetText("x");
  single->ClearItems();
  EXPECT_EQ(single->GetText(), "");
}

TEST_F(EditItems, TextLimit) {
  single->SetTextLimit(3);
  SendMessageW(single->Handle(), WM_CHAR, L'a', 0);
  SendMessageW(single->Handle(), WM_CHAR, L'b', 0);
  single->Focus();
  for (wchar_t c : std::wstring(L"abcdef")) SendMessageW(single->Handle(), WM_CHAR, c, 0);
  EXPECT_LE(single->GetText().size(), 3u);
}

TEST_F(EditItems, CyrillicLinesComeBackAsCp1251) {
  const std::string text("ПОВОРОТ ГЛАЗ\r\nКАДРЫ"_cp1251);
  memo->SetText(text);
  EXPECT_EQ(memo->GetItemText(0), std::string("ПОВОРОТ ГЛАЗ"_cp1251));
  EXPECT_EQ(memo->GetItemText(1), std::string("КАДРЫ"_cp1251));
  EXPECT_EQ(memo->GetText(), text);
}

// ---------------------------------------------------------------------------------------------

class ComboItems : public ::testing::Test {
 protected:
  void SetUp() override {
    form.reset(test::HiddenForm(nullptr, "combo-items"));
    combo = CreateComboBox(form.get(), 0);
    ASSERT_TRUE(combo->CreateControlWindow());
  }
  test::TAppStateGuard state;
  TObjPtr<TControl> form;
  TControl* combo = nullptr;
};

TEST_F(ComboItems, AddInsertAndReadItems) {
  EXPECT_EQ(combo->ItemCount(), 0);
  EXPECT_EQ(combo->AddItemText("COM 1"), 0);
  EXPECT_EQ(combo->AddItemText("COM 3"), 1);
  EXPECT_EQ(combo->InsertItemText(1, "COM 2"), 1);
  EXPECT_EQ(combo->ItemCount(), 3);
  EXPECT_EQ(combo->GetItemText(0), "COM 1");
  EXPECT_EQ(combo->GetItemText(1), "COM 2");
  EXPECT_EQ(combo->GetItemText(2), "COM 3");
  EXPECT_EQ(combo->GetItemText(3), "");
  EXPECT_EQ(combo->FindItem("COM 2", true), 1);
  EXPECT_EQ(combo->FindItem("COM", false), 0);
  EXPECT_EQ(combo->FindItem("LPT", true), -1);
}

TEST_F(ComboItems, CurrentIndexAndValues) {
  combo->AddItemText("a");
  combo->AddItemText("b");
  EXPECT_EQ(combo->CurrentIndex(), -1);
  combo->SetCurrentIndex(1);
  EXPECT_EQ(combo->CurrentIndex(), 1);
  EXPECT_EQ(combo->GetText(), "b");  // the edit field shows the current line
  combo->SetItemValue(0, 77);
  combo->SetItemValue(1, -5);
  EXPECT_EQ(combo->GetItemValue(0), 77);
  EXPECT_EQ(combo->GetItemValue(1), -5);
}

TEST_F(ComboItems, SetItemTextKeepsCurrentIndexAndValue) {
  combo->AddItemText("a");
  combo->AddItemText("b");
  combo->AddItemText("c");
  combo->SetItemValue(1, 9);
  combo->SetCurrentIndex(2);
  combo->SetItemText(1, "B");
  EXPECT_EQ(combo->ItemCount(), 3);
  EXPECT_EQ(combo->GetItemText(1), "B");
  EXPECT_EQ(combo->GetItemValue(1), 9);
  EXPECT_EQ(combo->CurrentIndex(), 2);
}

TEST_F(ComboItems, DeleteAndClear) {
  combo->AddItemText("a");
  combo->AddItemText("b");
  combo->DeleteItem(0);
  EXPECT_EQ(combo->ItemCount(), 1);
  EXPECT_EQ(combo->GetItemText(0), "b");
  combo->ClearItems();
  EXPECT_EQ(combo->ItemCount(), 0);
}

TEST_F(ComboItems, UnsupportedSelectionOperationsDoNothing) {
  combo->SetText("abc");
  combo->SetSelStart(1);
  EXPECT_EQ(combo->SelStart(), 0);
  EXPECT_EQ(combo->LineStart(4), 4);  // other kinds: the index itself
}

TEST_F(ComboItems, CyrillicItems) {
  const std::string first("ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251);
  combo->AddItemText(first);
  EXPECT_EQ(combo->GetItemText(0), first);
  EXPECT_EQ(combo->FindItem(first, true), 0);
  wchar_t text[64] = {};
  SendMessageW(combo->Handle(), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(std::wstring(text), L"ПОРТ НЕ ОПРЕДЕЛЁН");
}

TEST_F(ComboItems, SelectionHandlerRunsAfterThePlatformSettledIndexAndText) {
  for (const char* line : {"zero", "one", "two", "three"}) combo->AddItemText(line);
  combo->SetCurrentIndex(0);
  test::TSelectionProbe probe;
  combo->SelectionEvent = MakeMethod<&test::TSelectionProbe::OnSelect>(&probe);
  // The list box part reports a pick as the platform does for a click: selection, then
  // notification, then (after the notification) the edit text is updated.
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
