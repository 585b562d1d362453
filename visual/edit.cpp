// TKvornEdit.
#include "visual/edit.h"

#include "toolkit/win.h"

namespace fliran {

void TKvornEdit::Init() {
  std::uint32_t options = 0;
  if (Password) options |= EditPassword;
  if (ReadOnly) options |= EditReadonly;
  AdoptControl(CreateEditBox(Parent, options));
  Control->SetTextAlign(TextAlign);
  TKvornWin::Init();
  Control->SetTextLimit(MaxLength);
  Control->ChangeEvent = MakeMethod<&TKvornEdit::Changed>(this);
  SetTextQuietly(Text);
}

void TKvornEdit::SetTextQuietly(std::string_view text) {
  ChangeReport = false;
  // The change notification comes back while the text is set (also when it stays the same) and
  // sets the flag again.
  Control->SetText(text);
}

void TKvornEdit::Changed(TControl*) {
  TData value;
  if (ChangeReport && ValueGetter && ValueGetter(&value)) FireData(outChange, &value);
  ChangeReport = true;
}

void TKvornEdit::KeyDown(int& key) {
  if (key != VK_RETURN || !outEnter.Connected()) {
    TKvornWin::KeyDown(key);
    return;
  }
  TData value;
  if (ValueGetter && ValueGetter(&value)) FireData(outEnter, &value);
  if (ClearOnEnter && Control != nullptr) SetTextQuietly("");
  key = 0;  // consumed: neither outKeyDown nor the Enter character is reported
}

void TKvornEdit::inText(TData* d, std::uint16_t) {
  if (Control == nullptr) return;
  const std::int32_t caret = Control->SelStart();
  Control->SetText(ReadString(d, dataText, ""));
  Control->SetSelStart(caret);
}

bool TKvornEdit::TextGetter(TData* value) {
  if (Control == nullptr) return false;
  MakeStr(value, Control->GetText());
  return true;
}

}  // namespace fliran
