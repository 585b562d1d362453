// TKvornWinList, TKvornEWinList and TKvornLWinList.
#include "visual/win_list.h"

#include <string>

#include "runtime/link.h"
#include "toolkit/win.h"

namespace fliran {

void TKvornWinList::CollectItems() {
  const std::int32_t count = Control->ItemCount();
  for (std::int32_t i = 0; i < count; ++i) Scratch->AddLine(Control->GetItemText(i));
}

void TKvornWinList::BeginLoad(std::int32_t) {
  // A control that leaves WM_SETREDRAW to the platform's default handling loses its visible bit
  // with it: EndLoad goes by this record, not by that bit, or redrawing never came back.
  RedrawStopped = Control->Visible();
  if (RedrawStopped) Control->SendToControl(WM_SETREDRAW, FALSE, 0);
  Control->ClearItems();
}

void TKvornWinList::EndLoad() {
  if (!RedrawStopped) return;
  RedrawStopped = false;
  Control->SendToControl(WM_SETREDRAW, TRUE, 0);
  InvalidateRect(Control->Handle(), nullptr, FALSE);
}

std::int32_t TKvornWinList::AddItem(std::string_view text) { return Control->AddItemText(text); }

void TKvornWinList::SelectItem(std::int32_t i) {
  if (i < 0 || i >= Control->ItemCount()) i = -1;
  Control->SetCurrentIndex(i);
}

void TKvornWinList::ReplaceItem(const TData& index, const TData& text) {
  const std::int32_t i = ToIntegerOrMinus1(index);
  if (i >= 0 && i < Control->ItemCount()) Control->SetItemText(i, ToString(text));
}

void TKvornWinList::inClear(TData* d, std::uint16_t) {
  Control->ClearItems();
  ForwardNull(d, outChange);
}

void TKvornWinList::valText(TData* d, std::uint16_t) {
  Scratch = MakeObj<TStrList>();
  CollectItems();
  std::string text = Scratch->JoinedText();
  // Every line is followed by CR LF; the break after a last line that holds text goes.
  if (Scratch->Count() > 0 && !Scratch->LineText(Scratch->Count() - 1).empty()) text.resize(text.size() - 2);
  Scratch.reset();
  MakeStr(d, std::move(text));
}

void TKvornWinList::inAdd(TData* d, std::uint16_t) {
  // Unlinked, this takes the text of the value itself and consumes it, so that an integer
  // chained to it is what dataItem finds below.
  const std::string line = ReadString(d, dataLine, "");
  std::int32_t i = -1;
  if (AddToTop == 0) {
    i = AddItem(line);
  } else {
    i = Control->InsertItemText(0, line);
    if (i == -1) Control->SetText(line + "\r\n" + Control->GetText());  // an edit control cannot insert
  }
  if (SelectAdded != 0) Control->SetCurrentIndex(i);
  const TData item = ReadData(d, dataItem, nullptr);
  // A list control takes index -1 as every item: a line that could not be added stores nothing.
  if (i >= 0) Control->SetItemValue(i, ToInteger(item));
  ForwardNull(d, outChange);
}

void TKvornEWinList::SetItemsText(std::string_view text) {
  BeginLoad(static_cast<std::int32_t>(text.size()));
  Control->SetText(text);
  EndLoad();
}

void TKvornLWinList::SetItemsText(std::string_view text) {
  BeginLoad(static_cast<std::int32_t>(text.size()));
  if (!text.empty()) {
    const TObjPtr<TStrList> lines = MakeObj<TStrList>();
    lines->LoadText(text, false);
    for (std::int32_t i = 0; i < lines->Count(); ++i) AddItem(lines->LineText(i));
  }
  EndLoad();
}

}  // namespace fliran
