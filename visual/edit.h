// TKvornEdit: a single-line text box that shows the values given to it and reports what the
// user types, on every change and on Enter.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/data.h"
#include "runtime/method.h"
#include "visual/win.h"

namespace fliran {

class TKvornEdit : public TKvornWin {
 public:
  // Produces the value carried by outEnter and outChange; false refuses (nothing fires).
  using TValueGetter = TMethod<bool(TData* value)>;

  bool ChangeReport = false;      // clear while the element changes the text without reporting
  TValueGetter ValueGetter;       // the panel installs TextGetter
  bool Password = false;
  bool ClearOnEnter = false;      // clear the text after Enter was reported
  std::string Text;               // initial text
  bool ReadOnly = false;
  std::uint8_t TextAlign = 0;     // 0 left, 1 right, 2 centre
  std::int32_t MaxLength = 0;     // 0: the platform's default limit
  TKvorn_Event dataText;          // pull point for the text of inText
  TKvorn_Event outEnter;          // fired on Enter, only while linked
  TKvorn_Event outChange;         // fired after the text changed, except for the element's own clearing

  using TKvornWin::TKvornWin;

  void Init() override;
  void KeyDown(int& key) override;
  // Shows the text of the value (or of dataText), keeping the caret where it was.
  void inText(TData* d, std::uint16_t index);

  // The value getter of the panel: the control's text as a string value.
  bool TextGetter(TData* value);
  // Installs TextGetter as the value getter.
  void UseTextGetter() { ValueGetter = MakeMethod<&TKvornEdit::TextGetter>(this); }

 private:
  void Changed(TControl* sender);
  // Sets the text without reporting the change.
  void SetTextQuietly(std::string_view text);
};

}  // namespace fliran
