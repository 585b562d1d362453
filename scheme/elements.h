// The panel's elements as one table: their names in creation order, their kinds, and whether
// each owns a window. The panel creates its elements in this order and hands them out in it
// (TClassMainForm_14B8550::Elements); the trace tools and the scheme picture name elements from
// these rows. Platform-free, like scheme/links.h.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace fliran {

struct TPanelElement {
  std::uint8_t Number;    // 1-based, the order of creation
  std::string_view Name;  // as the links (scheme/links.h) and the panel's fields name it
  std::string_view Kind;  // the element's class
  bool Window;            // it owns a control of the form
};

// clang-format off
inline constexpr std::array<TPanelElement, 34> kPanelElements{{
  { 1, "MainForm",     "TKvornMainForm", true },
  { 2, "SerialPort",   "TKvornCOM",      false},
  { 3, "JoinEyes",     "TKvornStrCat",   false},
  { 4, "FanOutLines",  "TKvornHub",      false},
  { 5, "SliderEyes",   "TKvornTrackBar", true },
  { 6, "SliderNeck",   "TKvornTrackBar", true },
  { 7, "SliderMouth",  "TKvornTrackBar", true },
  { 8, "ButtonGlow",   "TKvornButton",   true },
  { 9, "LabelEyes",    "TKvornLabel",    true },
  {10, "LabelNeck",    "TKvornLabel",    true },
  {11, "LabelMouth",   "TKvornLabel",    true },
  {12, "Picture",      "TKvornImage",    true },
  {13, "ButtonStore",  "TKvornButton",   true },
  {14, "ButtonForget", "TKvornButton",   true },
  {15, "ButtonReplay", "TKvornButton",   true },
  {16, "JoinNeck",     "TKvornStrCat",   false},
  {17, "JoinMouth",    "TKvornStrCat",   false},
  {18, "JoinGlow",     "TKvornStrCat",   false},
  {19, "JoinStore",    "TKvornStrCat",   false},
  {20, "JoinForget",   "TKvornStrCat",   false},
  {21, "JoinReplay",   "TKvornStrCat",   false},
  {22, "FanOutForget", "TKvornHub",      false},
  {23, "CenterEyes",   "TKvornMath",     false},
  {24, "CenterNeck",   "TKvornMath",     false},
  {25, "CenterMouth",  "TKvornMath",     false},
  {26, "PortChooser",  "TKvornComboBox", true },
  {27, "FrameCounter", "TKvornCounter",  false},
  {28, "FrameDisplay", "TKvornEdit",     true },
  {29, "FanOutStore",  "TKvornHub",      false},
  {30, "FanOutReplay", "TKvornHub",      false},
  {31, "LabelFrames",  "TKvornLabel",    true },
  {32, "ReplyLength",  "TKvornMath",     false},
  {33, "ReplyLog",     "TKvornMemo",     true },
  {34, "FanOutClear",  "TKvornHub",      false},
}};
// clang-format on

// Whether the panel has an element called name.
constexpr bool IsPanelElement(std::string_view name) {
  for (const TPanelElement& element : kPanelElements) {
    if (element.Name == name) return true;
  }
  return false;
}

}  // namespace fliran
