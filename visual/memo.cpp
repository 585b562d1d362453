// TKvornMemo.
#include "visual/memo.h"

#include "toolkit/win.h"

namespace fliran {

void TKvornMemo::Init() {
  std::uint32_t options = EditNoHScroll | EditNoVScroll | EditMultiline | EditNoHideSel;
  if (ScrollBars == 1 || ScrollBars == 3) options &= ~EditNoHScroll;
  if (ScrollBars == 2 || ScrollBars == 3) options &= ~EditNoVScroll;
  if (Editable == 0) options |= EditReadonly;
  AdoptControl(CreateEditBox(Parent, options));
  Control->ChangeEvent = MakeMethod<&TKvornMemo::Changed>(this);
  if (Ctl3D == Ctl3DSunken) Control->RemoveStyle(WS_BORDER);
  TKvornWin::Init();
  Control->SetText(Text);
}

void TKvornMemo::Changed(TControl*) { FireStr(outChange, Control->GetText()); }

void TKvornMemo::CollectItems() { Scratch->LoadText(Control->GetText(), false); }

std::int32_t TKvornMemo::AddItem(std::string_view text) {
  // An empty edit control reports one empty line: the first text starts it. A piece that ended
  // with a line break left an empty last line, which the next piece continues.
  const std::int32_t count = Control->ItemCount();
  if (count > 0 && !Control->GetItemText(count - 1).empty()) Control->AddItemText("\r\n");
  return Control->AddItemText(text);
}

void TKvornMemo::SelectItem(std::int32_t i) {
  // An index out of range means no current line, as for every list: nothing is selected. (The
  // line start of such an index is 0, or the caret's line for -1, which selected up to the end.)
  if (i < 0 || i >= Control->ItemCount()) {
    Control->SetSelStart(-1);  // a selection from -1 is none: the edit control only drops it
    return;
  }
  const std::int32_t start = Control->LineStart(i);
  Control->SetSelStart(start);
  Control->SetSelLength(i + 1 < Control->ItemCount() ? Control->LineStart(i + 1) - start : -1);
}

void TKvornMemo::ReplaceItem(const TData& index, const TData& text) {
  const std::int32_t i = ToIntegerOrMinus1(index);
  const std::int32_t count = Control->ItemCount();
  if (i < 0 || i >= count) return;
  std::string line = ToString(text);
  if (i < count - 1) line += "\r\n";
  // The replacement goes through the selection, which obeys the text limit: the limit grows
  // first, so that no text is cut off.
  const auto length = static_cast<std::int32_t>(Control->GetText().size());
  const auto limit = static_cast<std::int32_t>(Control->SendToControl(EM_GETLIMITTEXT, 0, 0));
  const std::int32_t needed = length + static_cast<std::int32_t>(line.size());
  if (needed > limit) Control->SetTextLimit(needed);
  Control->SetItemText(i, line);
}

}  // namespace fliran
