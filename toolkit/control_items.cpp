// TControl's item operations: the messages named by the control's CommandTable.
#include <algorithm>
#include <string>

#include "runtime/cp1251.h"
#include "toolkit/control.h"

namespace fliran {

LRESULT TControl::SendToControl(UINT message, WPARAM first, LPARAM second) {
  if (!CreateControlWindow()) return 0;
  return SendMessageW(handle_, message, first, second);
}

namespace {

std::int32_t ToInt32(LRESULT value) { return static_cast<std::int32_t>(value); }

LPARAM TextParam(const WideString& text) { return reinterpret_cast<LPARAM>(text.c_str()); }

}  // namespace

std::int32_t TControl::ItemCount() {
  if (Commands.ItemCount == 0) return 0;
  return ToInt32(SendToControl(Commands.ItemCount, 0, 0));
}

std::string TControl::GetItemText(std::int32_t i) {
  if (Commands.GetItemText == 0 || i < 0 || i >= ItemCount()) return {};
  std::int32_t length = 0;
  if (Commands.ItemTextLength != 0) {
    // The edit control measures a line by a character position in it, the combo box by index.
    length = ToInt32(SendToControl(Commands.ItemTextLength, static_cast<WPARAM>(LineStart(i)), 0));
  }
  if (length <= 0) return {};
  WideString buffer(static_cast<std::size_t>(length) + 1, L'\0');
  if (Commands.GetItemText == EM_GETLINE) buffer[0] = static_cast<wchar_t>(std::min<std::int32_t>(length, 0xFFFF));
  const std::int32_t got =
      ToInt32(SendToControl(Commands.GetItemText, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data())));
  buffer.resize(static_cast<std::size_t>(std::clamp(got, 0, length)));
  return WideToCp1251(buffer);
}

void TControl::SetItemText(std::int32_t i, std::string_view text) {
  const std::int32_t count = ItemCount();
  if (i < 0 || i >= count) return;
  const WideString wide = Cp1251ToWide(text);
  if (Commands.SetItemText != 0) {
    const std::int32_t start = LineStart(i);
    const std::int32_t end = i + 1 < count ? LineStart(i + 1) : GetWindowTextLengthW(handle_);
    if (Commands.SetSelection != 0) SendToControl(Commands.SetSelection, static_cast<WPARAM>(start), end);
    SendToControl(Commands.SetItemText, FALSE, TextParam(wide));
  } else if (Commands.DeleteItem != 0 && Commands.InsertItemText != 0) {
    const std::int32_t current = CurrentIndex();
    const std::int32_t value = GetItemValue(i);
    DeleteItem(i);
    InsertItemText(i, text);
    SetItemValue(i, value);
    SetCurrentIndex(current);
  }
}

std::int32_t TControl::AddItemText(std::string_view text) {
  if (Commands.AddItemText != 0) return ToInt32(SendToControl(Commands.AddItemText, 0, TextParam(Cp1251ToWide(text))));
  if (Commands.Add != nullptr) return Commands.Add(this, text);
  if (!CreateControlWindow()) return -1;
  if (Commands.SetSelection != 0 && Commands.SetItemText == EM_REPLACESEL) {
    // Appending through the selection keeps the caret at the new end and scrolls to it. A
    // replaced selection obeys the control's text limit (30 000 characters unless set), which
    // would silently cut the text off: the limit grows with the text first.
    const WideString wide = Cp1251ToWide(text);
    const auto length = static_cast<std::size_t>(std::max(GetWindowTextLengthW(handle_), 0));
    const auto limit = static_cast<std::size_t>(SendToControl(EM_GETLIMITTEXT, 0, 0));
    if (length + wide.size() > limit) SendToControl(EM_SETLIMITTEXT, length + wide.size(), 0);
    SendToControl(Commands.SetSelection, length, static_cast<LPARAM>(length));
    SendToControl(EM_REPLACESEL, FALSE, TextParam(wide));
  } else {
    SetText(GetText() + std::string(text));
  }
  // The index of the line the text ends on, counted by the text's line breaks: a multi-line edit
  // control that wraps long lines counts its display lines instead.
  const std::string all = GetText();
  std::int32_t line = 0;
  for (std::size_t at = all.find("\r\n"); at != std::string::npos; at = all.find("\r\n", at + 2)) ++line;
  return line;
}

std::int32_t TControl::InsertItemText(std::int32_t i, std::string_view text) {
  if (Commands.InsertItemText == 0) return -1;
  return ToInt32(SendToControl(Commands.InsertItemText, static_cast<WPARAM>(i), TextParam(Cp1251ToWide(text))));
}

void TControl::DeleteItem(std::int32_t i) {
  if (Commands.DeleteItem != 0) SendToControl(Commands.DeleteItem, static_cast<WPARAM>(i), 0);
}

void TControl::ClearItems() {
  if (Commands.Clear != nullptr) Commands.Clear(this);
}

std::int32_t TControl::FindItem(std::string_view text, bool exact) {
  const UINT message = exact ? Commands.FindExact : Commands.FindPrefix;
  if (message == 0) return -1;
  return ToInt32(SendToControl(message, static_cast<WPARAM>(-1), TextParam(Cp1251ToWide(text))));
}

std::int32_t TControl::CurrentIndex() {
  if (Commands.GetCurrentIndex == 0) return -1;
  // -1 asks the edit control for the line of the caret; the combo box ignores the parameter.
  return ToInt32(SendToControl(Commands.GetCurrentIndex, static_cast<WPARAM>(-1), 0));
}

void TControl::SetCurrentIndex(std::int32_t i) {
  if (Commands.SetCurrentIndex != 0) SendToControl(Commands.SetCurrentIndex, static_cast<WPARAM>(i), 0);
}

std::int32_t TControl::GetItemValue(std::int32_t i) {
  if (Commands.GetItemValue == 0) return 0;
  return ToInt32(SendToControl(Commands.GetItemValue, static_cast<WPARAM>(i), 0));
}

void TControl::SetItemValue(std::int32_t i, std::int32_t value) {
  if (Commands.SetItemValue != 0) SendToControl(Commands.SetItemValue, static_cast<WPARAM>(i), static_cast<LPARAM>(value));
}

std::int32_t TControl::LineStart(std::int32_t i) {
  if (Commands.GetCurrentIndex != EM_LINEINDEX) return i;
  const std::int32_t start = ToInt32(SendToControl(EM_LINEINDEX, static_cast<WPARAM>(i), 0));
  return start < 0 ? 0 : start;
}

std::int32_t TControl::SelStart() {
  if (Commands.GetSelection == 0) return 0;
  DWORD start = 0;
  DWORD end = 0;
  SendToControl(Commands.GetSelection, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<std::int32_t>(start);
}

std::int32_t TControl::SelLength() {
  if (Commands.GetSelection == 0) return 0;
  DWORD start = 0;
  DWORD end = 0;
  SendToControl(Commands.GetSelection, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return static_cast<std::int32_t>(end - start);
}

void TControl::SetSelStart(std::int32_t start) {
  if (Commands.SetSelection != 0) SendToControl(Commands.SetSelection, static_cast<WPARAM>(start), start);
}

void TControl::SetSelLength(std::int32_t length) {
  if (Commands.SetSelection == 0) return;
  const std::int32_t start = SelStart();
  SendToControl(Commands.SetSelection, static_cast<WPARAM>(start), length < 0 ? -1 : start + length);
}

void TControl::SetTextLimit(std::int32_t limit) {
  if (Commands.TextLimit != 0) SendToControl(Commands.TextLimit, static_cast<WPARAM>(limit), 0);
}

}  // namespace fliran
