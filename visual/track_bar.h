// TKvornTrackBar: a slider that reports the positions the user gives it. The platform reports
// them to the slider's parent, where one scroll handler finds the element of the notifying
// slider; only changes made by the user are reported.
#pragma once

#include <cstdint>

#include "visual/win.h"

namespace fliran {

class TKvornTrackBar : public TKvornWin {
 public:
  std::uint8_t Orientation = 0;  // 0 horizontal, 1 vertical
  std::uint8_t TickMarks = 0;    // 0 below or right, 1 above or left, 2 both sides
  bool ToolTips = false;         // the value shows in a tooltip while dragged
  bool Tracking = false;         // a sequence of changes is under way
  std::int32_t TickFrequency = 0;
  std::int32_t Max = 0;
  std::int32_t Min = 0;
  std::int32_t Position = 0;
  std::int32_t ThumbLength = 0;
  TKvorn_Event outPosition;      // integer: every change made by the user
  TKvorn_Event outTrackStart;    // integer: the first change of a sequence
  TKvorn_Event outTrackEnd;      // integer: the position when the user ends the sequence

  using TKvornWin::TKvornWin;

  void Init() override;
  // Moves the thumb to ToInteger of the value; fires nothing.
  void inPosition(TData* d, std::uint16_t index);
  // The current position as an integer.
  void valPosition(TData* d, std::uint16_t index);

  // The class id every slider carries (assigned at the first Init).
  static std::uint32_t SliderClassId();
  // Attached to the parent of every slider: hands a scroll notification to the slider's element.
  static bool ScrollHook(TControl* parent, TMsg& msg, LRESULT& result);

 private:
  void Scrolled(int code);
};

}  // namespace fliran
