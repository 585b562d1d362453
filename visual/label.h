// TKvornLabel: a line of static text that reports clicks and may change its look while the mouse
// is over it.
#pragma once

#include <cstdint>
#include <string>

#include "visual/win.h"

namespace fliran {

class TKvornLabel : public TKvornWin {
 public:
  TKvorn_Event outClick;            // empty value, on a click on the text
  std::uint32_t HoverColor = 0;     // font colour while the mouse is over the label; 0 none
  bool HoverUnderline = false;      // underline the text while the mouse is over the label
  std::string Caption;

  // The control exists from here on, so the setters below reach it before Init.
  explicit TKvornLabel(TControl* parent);

  // The control takes the size of its text.
  void SetAutoSize(bool autoSize);
  // 0 left, 1 right, 2 centre.
  void SetTextAlign(int align);

  void Init() override;
  void MouseEnter(TControl* sender) override;
  void MouseLeave(TControl* sender) override;

 private:
  void Click(TControl* sender);
};

}  // namespace fliran
