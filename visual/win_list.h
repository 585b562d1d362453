// TKvornWinList, the base of the elements whose control holds text lines, with its two adapters:
// TKvornEWinList for an edit control (the lines of one text) and TKvornLWinList for a list
// control (one item per line). The list inputs and outputs live here; the nine list operations
// are virtual, in this order, so that each kind supplies its own bodies.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/data.h"
#include "toolkit/str_list.h"
#include "visual/win.h"

namespace fliran {

class TKvornWinList : public TKvornWin {
 public:
  TObjPtr<TStrList> Scratch;        // exists only while valText runs; CollectItems fills it
  std::uint8_t AddToTop = 0;        // non-zero: inAdd inserts the line first
  std::uint8_t SelectAdded = 0;     // non-zero: the line added by inAdd becomes the current one
  std::uint8_t SelectAsText = 0;    // 1: outSelect carries the picked line's text, else its index
  TKvorn_Event dataLine;            // pull point: the text of the line to add
  TKvorn_Event dataItem;            // pull point: an integer stored with the added line
  TKvorn_Event outChange;           // the content changed
  TKvorn_Event outSelect;           // the user picked a line
  bool RedrawStopped = false;       // BeginLoad switched redrawing off; EndLoad switches it on

  using TKvornWin::TKvornWin;

  // ---- list operations, in their table order ----------------------------------------------
  // Fills Scratch with all lines, one item after the other.
  virtual void CollectItems();
  // Replaces all lines by the lines of text. Every kind of control says how.
  virtual void SetItemsText(std::string_view text) = 0;
  // Stops redrawing and removes all lines; sizeHint is the length of the text about to come.
  virtual void BeginLoad(std::int32_t sizeHint);
  // Resumes redrawing and repaints.
  virtual void EndLoad();
  // Appends one line; answers its index.
  virtual std::int32_t AddItem(std::string_view text);
  // Makes line i the current one; an index out of range leaves no current line.
  virtual void SelectItem(std::int32_t i);
  // Replaces the text of one line; an index out of range changes nothing.
  virtual void ReplaceItem(const TData& index, const TData& text);
  // Input: removes all lines, then outChange fires with an empty value.
  virtual void inClear(TData* d, std::uint16_t index);
  // Value point: all lines as one text, CR LF between them.
  virtual void valText(TData* d, std::uint16_t index);

  // Input: adds the line read from dataLine (by default the value itself).
  void inAdd(TData* d, std::uint16_t index);
};

// The lines of an edit control's text.
class TKvornEWinList : public TKvornWinList {
 public:
  using TKvornWinList::TKvornWinList;
  // One window-text message between BeginLoad and EndLoad.
  void SetItemsText(std::string_view text) override;
};

// The items of a list control.
class TKvornLWinList : public TKvornWinList {
 public:
  using TKvornWinList::TKvornWinList;
  // Splits the text into lines and adds them one by one through AddItem.
  void SetItemsText(std::string_view text) override;
};

}  // namespace fliran
