// TKvornTrackBar over the common controls' slider.
#include "visual/track_bar.h"

#include "toolkit/win.h"

#include <commctrl.h>

#include "runtime/ident.h"
#include "runtime/modules.h"

namespace fliran {

namespace {

std::uint32_t sliderClassId = 0;

constexpr DWORD SliderStyle = 0x50000061;  // child, visible, automatic ticks, selection range, fixed thumb

}  // namespace

std::uint32_t TKvornTrackBar::SliderClassId() { return sliderClassId; }

void TKvornTrackBar::Init() {
  AssignIdentifier(&sliderClassId);
  ClassId = sliderClassId;
  InitCommonControlsAll(ICC_BAR_CLASSES);
  DWORD style = SliderStyle;
  if (Orientation == 1) style |= TBS_VERT;
  if (ToolTips) style |= TBS_TOOLTIPS;
  if (TickMarks == 1) style |= TBS_TOP;
  if (TickMarks == 2) style |= TBS_BOTH;
  AdoptControl(CreateStandardControl(Parent, "msctls_trackbar32", style, false, nullptr));
  // The arrow and page keys move a focused slider (one position report per key press); only Tab
  // is left to the form's keyboard navigation.
  Control->NavigationKeys = NavigateTab;
  if (Parent != nullptr) Parent->AttachHook(MakeProc<&TKvornTrackBar::ScrollHook>());
  TKvornWin::Init();
  Control->SendToControl(TBM_SETRANGEMAX, TRUE, Max);
  Control->SendToControl(TBM_SETRANGEMIN, TRUE, Min);
  Control->SendToControl(TBM_SETPOS, TRUE, Position);
  Control->SendToControl(TBM_SETTHUMBLENGTH, static_cast<WPARAM>(ThumbLength), 0);
  Control->SendToControl(TBM_SETTICFREQ, static_cast<WPARAM>(TickFrequency), 0);
  Control->Element = static_cast<TKvornWin*>(this);
}

bool TKvornTrackBar::ScrollHook(TControl*, TMsg& msg, LRESULT&) {
  if ((msg.Message != WM_HSCROLL && msg.Message != WM_VSCROLL) || msg.LParam == 0) return false;
  TControl* control = TControl::FromHandle(reinterpret_cast<HWND>(msg.LParam));
  auto* element = control != nullptr ? static_cast<TKvornWin*>(control->Element) : nullptr;
  if (element == nullptr || element->ClassId != sliderClassId) return false;
  static_cast<TKvornTrackBar*>(element)->Scrolled(LOWORD(msg.WParam));
  return false;  // the parent's own handling goes on
}

void TKvornTrackBar::Scrolled(int code) {
  const auto position = static_cast<std::int32_t>(Control->SendToControl(TBM_GETPOS, 0, 0));
  if (code == TB_ENDTRACK) {
    FireInt(outTrackEnd, position);
    Tracking = false;
    return;
  }
  if (!Tracking) FireInt(outTrackStart, position);
  FireInt(outPosition, position);
  Tracking = true;
}

void TKvornTrackBar::inPosition(TData* d, std::uint16_t) { Control->SendToControl(TBM_SETPOS, TRUE, ToInteger(*d)); }

void TKvornTrackBar::valPosition(TData* d, std::uint16_t) {
  MakeInt(d, static_cast<std::int32_t>(Control->SendToControl(TBM_GETPOS, 0, 0)));
}

}  // namespace fliran
