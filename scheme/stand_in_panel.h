// A one-form stand-in for the panel: the application window and an empty main form with the
// panel's caption and size. It lets the program's start, message loop and shutdown run as they
// will with the panel's scheme.
#pragma once

#include "toolkit/control.h"

namespace fliran {

class TStandInPanel {
 public:
  TStandInPanel();
  ~TStandInPanel();
  TStandInPanel(const TStandInPanel&) = delete;
  TStandInPanel& operator=(const TStandInPanel&) = delete;

  bool MainFormVisible() const { return true; }
  TControl* MainForm() const { return form_; }

 private:
  void Start();
  void Closing(TControl* sender, bool& accept);

  TControl* form_ = nullptr;  // owned by the application window
};

}  // namespace fliran
