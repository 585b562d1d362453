// TKvornComboBox: a drop-down list of lines, optionally with an edit field, that reports the
// line the user picks; with owner-drawn rows, attachments may paint the rows and their icons.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/method.h"
#include "toolkit/win.h"
#include "visual/win_list.h"

#include <commctrl.h>

namespace fliran {

// Gives an icon index per row (owner-drawn rows only).
struct TKvornIconSource {
  TMethod<std::int32_t(std::int32_t row)> IconIndex;
  TMethod<void(TControl* control)> Attach;
  TMethod<void(TControl* control)> Detach;
};

// Paints a row (true: handled) and gives the icon's left margin.
struct TKvornItemPainter {
  TMethod<bool(const DRAWITEMSTRUCT& item)> Paint;
  TMethod<std::uint8_t()> Margin;
};

// Gives the image list (or none) and the icon size.
struct TKvornImageSource {
  TMethod<HIMAGELIST()> ImageList;
  TMethod<std::uint8_t()> IconSize;
};

class TKvornComboBox : public TKvornLWinList {
 public:
  const TKvornIconSource* IconSource = nullptr;    // not owned
  const TKvornItemPainter* ItemPainter = nullptr;  // not owned
  const TKvornImageSource* ImageSource = nullptr;  // not owned
  std::uint8_t Editable = 0;     // 0: the user can only pick; else a drop-down with an edit field
  std::string Text;              // initial text of the edit field
  std::string Strings;           // initial lines, CR LF after each
  std::uint8_t Sort = 0;         // non-zero: the lines stay sorted
  std::int32_t ItemHeight = 0;   // row height of owner-drawn rows
  TKvorn_Event outEditText;      // the edit field's text on every change by the user

  using TKvornLWinList::TKvornLWinList;
  // Detaches the icon source from the control, while both still exist.
  ~TKvornComboBox() override;

  // The attachment setters: none changes nothing; an icon source is attached to the control at once.
  void SetIconSource(const TKvornIconSource* source);
  void SetItemPainter(const TKvornItemPainter* painter);
  void SetImageSource(const TKvornImageSource* source);

  void Init() override;
  // Also reserves storage for sizeHint bytes of text.
  void BeginLoad(std::int32_t sizeHint) override;
  // A pick-only combo box shows its first line as soon as it has one.
  std::int32_t AddItem(std::string_view text) override;

  // Value point: the index of the current line, -1 when none.
  void valIndex(TData* d, std::uint16_t index);

 private:
  int MeasureItem(TControl* sender, int index);
  void EditTextChanged(TControl* sender);
  void Selected(TControl* sender);
  bool PaintRow(TControl* sender, const DRAWITEMSTRUCT& item);
};

}  // namespace fliran
