// TKvornComboBox.
#include "visual/combo_box.h"

#include "toolkit/win.h"

namespace fliran {

namespace {

constexpr std::uint32_t OwnerDrawnRows = 8;  // bit of the element's StyleFlags

}  // namespace

TKvornComboBox::~TKvornComboBox() {
  if (IconSource != nullptr && IconSource->Detach) IconSource->Detach(Control);
}

void TKvornComboBox::SetIconSource(const TKvornIconSource* source) {
  if (source == nullptr) return;
  IconSource = source;
  if (source->Attach) source->Attach(Control);
}

void TKvornComboBox::SetItemPainter(const TKvornItemPainter* painter) {
  if (painter != nullptr) ItemPainter = painter;
}

void TKvornComboBox::SetImageSource(const TKvornImageSource* source) {
  if (source != nullptr) ImageSource = source;
}

void TKvornComboBox::Init() {
  std::uint32_t options = 0;
  if (Editable == 0) options |= ComboDropDownList;
  if (Sort != 0) options |= ComboSort;
  const bool ownerDrawn = (StyleFlags & OwnerDrawnRows) != 0;
  if (ownerDrawn) options |= ComboOwnerDrawFixed;
  AdoptControl(CreateComboBox(Parent, options));
  Control->MeasureItemEvent = MakeMethod<&TKvornComboBox::MeasureItem>(this);
  TKvornWin::Init();
  SetItemsText(Strings);
  if (Editable != 0) Control->ChangeEvent = MakeMethod<&TKvornComboBox::EditTextChanged>(this);
  Control->SetText(Text);
  Control->SelectionEvent = MakeMethod<&TKvornComboBox::Selected>(this);
  if (ownerDrawn) Control->DrawItemEvent = MakeMethod<&TKvornComboBox::PaintRow>(this);
  if (Control->ItemCount() > 0 && Editable == 0) Control->SetCurrentIndex(0);
}

void TKvornComboBox::BeginLoad(std::int32_t sizeHint) {
  TKvornLWinList::BeginLoad(sizeHint);
  Control->SendToControl(CB_INITSTORAGE, 0, sizeHint);
}

std::int32_t TKvornComboBox::AddItem(std::string_view text) {
  const std::int32_t i = Control->AddItemText(text);
  if (Editable == 0 && Control->CurrentIndex() < 0) Control->SetCurrentIndex(0);
  return i;
}

void TKvornComboBox::valIndex(TData* d, std::uint16_t) { MakeInt(d, Control->CurrentIndex()); }

int TKvornComboBox::MeasureItem(TControl*, int) { return ItemHeight; }

void TKvornComboBox::EditTextChanged(TControl*) { FireStr(outEditText, Control->GetText()); }

void TKvornComboBox::Selected(TControl*) {
  const std::int32_t i = Control->CurrentIndex();
  TData value;
  if (SelectAsText == 1) {
    MakeStr(&value, Control->GetItemText(i));
  } else {
    MakeInt(&value, i);
  }
  // The integer stored with the line travels chained to the value.
  TData stored;
  const std::int32_t n = Control->GetItemValue(i);
  if (n != -1) {
    MakeInt(&stored, n);
    value.Next = &stored;
  }
  FireEvent(&outSelect, &value);
}

bool TKvornComboBox::PaintRow(TControl*, const DRAWITEMSTRUCT& item) {
  const bool handled = ItemPainter != nullptr && ItemPainter->Paint && ItemPainter->Paint(item);
  if (IconSource == nullptr || ImageSource == nullptr || !IconSource->IconIndex || !ImageSource->ImageList ||
      !ImageSource->IconSize) {
    return handled;
  }
  HIMAGELIST list = ImageSource->ImageList();
  if (list == nullptr) return handled;
  const RECT& row = item.rcItem;
  std::int32_t icon = IconSource->IconIndex(static_cast<std::int32_t>(item.itemID));
  const int size = ImageSource->IconSize();
  const int top = row.top + (row.bottom - row.top - size) / 2;
  int left = ItemPainter != nullptr && ItemPainter->Margin ? ItemPainter->Margin() : 0;
  if ((item.itemState & ODS_COMBOBOXEDIT) != 0) ++left;
  if (icon < 0 || icon >= ImageList_GetImageCount(list)) icon = -1;
  ImageList_DrawEx(list, icon, item.hDC, left, top, size, size, CLR_NONE, CLR_NONE, ILD_NORMAL);
  return handled;
}

}  // namespace fliran
