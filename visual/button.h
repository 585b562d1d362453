// TKvornButton: a push button that sends a fixed value on every click.
#pragma once

#include <string>

#include "runtime/data.h"
#include "visual/win.h"

namespace fliran {

class TKvornButton : public TKvornWin {
 public:
  TKvorn_Event outClick;  // a copy of Data on every click
  TData Data;             // left unchanged by the targets
  std::string Caption;    // CR LF breaks it into two lines
  bool Default = false;   // pressed by the Enter key of its form

  using TKvornWin::TKvornWin;

  void Init() override;

 private:
  void Click(TControl* sender);
};

}  // namespace fliran
