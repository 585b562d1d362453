// TKvornMemo: a multi-line edit control whose lines are the lines of its text.
#pragma once

#include <cstdint>
#include <string>

#include "visual/win_list.h"

namespace fliran {

class TKvornMemo : public TKvornEWinList {
 public:
  std::uint8_t ScrollBars = 0;  // 0 none, 1 horizontal, 2 vertical, 3 both; other values as 0
  std::uint8_t Editable = 0;    // 0: read-only
  std::string Text;             // put into the control when it is made

  using TKvornEWinList::TKvornEWinList;

  void Init() override;
  // The text split into lines.
  void CollectItems() override;
  // Appends text, on a new line unless the last line is empty.
  std::int32_t AddItem(std::string_view text) override;
  // Selects line i together with its line break; an index out of range selects nothing.
  void SelectItem(std::int32_t i) override;
  // Replaces line i together with its line break, which the new text keeps.
  void ReplaceItem(const TData& index, const TData& text) override;

 private:
  void Changed(TControl* sender);
};

}  // namespace fliran
