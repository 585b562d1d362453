// The panel's links as one table: which point of which element calls which point of which
// other element, with the index handed to the target and the link's trace id. The panel installs
// its links from these rows, in this order; the trace tools print link names from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "scheme/elements.h"

namespace fliran {

struct TPanelLink {
  std::uint8_t Number;             // 1-based, the order of installation
  std::string_view Source;         // element holding the link record
  std::string_view SourcePoint;    // its output or pull point ("outEvent 2": output 2 of a fan-out)
  std::string_view Target;         // element called
  std::string_view TargetPoint;    // its input or value point
  std::uint16_t Index;             // handed to the target with every call
  std::uint32_t LinkId;            // reported by the trace channel for every hop
  bool Pull;                       // the source calls the target for a value
};

// clang-format off
inline constexpr std::array<TPanelLink, 38> kPanelLinks{{
  { 1, "SerialPort",   "outRead",     "ReplyLog",     "inAdd",       0, 0x01530C18, false},
  { 2, "SerialPort",   "dataPort",    "PortChooser",  "valIndex",    2, 0x01530C60, true },
  { 3, "JoinEyes",     "outJoined",   "FanOutLines",  "inEvent",     0, 0x01530E10, false},
  { 4, "JoinEyes",     "dataFirst",   "SliderEyes",   "valPosition", 0, 0x01530D80, true },
  { 5, "FanOutLines",  "outEvent 0",  "SerialPort",   "inWrite",     3, 0x01530F78, false},
  { 6, "SliderEyes",   "outPosition", "JoinEyes",     "inJoin",      0, 0x01531200, false},
  { 7, "SliderNeck",   "outPosition", "JoinNeck",     "inJoin",      0, 0x01531368, false},
  { 8, "SliderMouth",  "outPosition", "JoinMouth",    "inJoin",      0, 0x01531488, false},
  { 9, "ButtonGlow",   "outClick",    "JoinGlow",     "inJoin",      0, 0x01531518, false},
  {10, "ButtonStore",  "outClick",    "FanOutStore",  "inEvent",     0, 0x01531B48, false},
  {11, "ButtonForget", "outClick",    "FanOutForget", "inEvent",     0, 0x01531B90, false},
  {12, "ButtonReplay", "outClick",    "FanOutReplay", "inEvent",     0, 0x01531BD8, false},
  {13, "JoinNeck",     "outJoined",   "FanOutLines",  "inEvent",     1, 0x01531C68, false},
  {14, "JoinNeck",     "dataFirst",   "SliderNeck",   "valPosition", 0, 0x01531CF8, true },
  {15, "JoinMouth",    "outJoined",   "FanOutLines",  "inEvent",     2, 0x01531E18, false},
  {16, "JoinMouth",    "dataFirst",   "SliderMouth",  "valPosition", 0, 0x01531EA8, true },
  {17, "JoinGlow",     "outJoined",   "FanOutLines",  "inEvent",     3, 0x01531FC8, false},
  {18, "JoinStore",    "outJoined",   "FanOutLines",  "inEvent",     4, 0x01532178, false},
  {19, "JoinForget",   "outJoined",   "FanOutLines",  "inEvent",     5, 0x01532328, false},
  {20, "JoinReplay",   "outJoined",   "FanOutLines",  "inEvent",     6, 0x015324D8, false},
  {21, "FanOutForget", "outEvent 0",  "JoinForget",   "inJoin",      0, 0x01532688, false},
  {22, "FanOutForget", "outEvent 1",  "CenterEyes",   "inSubtract",  0, 0x015326D0, false},
  {23, "FanOutForget", "outEvent 2",  "CenterNeck",   "inSubtract",  0, 0x01532718, false},
  {24, "FanOutForget", "outEvent 3",  "CenterMouth",  "inSubtract",  0, 0x01532760, false},
  {25, "FanOutForget", "outEvent 4",  "FanOutClear",  "inEvent",     0, 0x015327A8, false},
  {26, "CenterEyes",   "outResult",   "SliderEyes",   "inPosition",  1, 0x01532880, false},
  {27, "CenterNeck",   "outResult",   "SliderNeck",   "inPosition",  1, 0x01532A30, false},
  {28, "CenterMouth",  "outResult",   "SliderMouth",  "inPosition",  1, 0x01532BE0, false},
  {29, "PortChooser",  "outSelect",   "SerialPort",   "inOpen",      0, 0x01532F88, false},
  {30, "FrameCounter", "outCount",    "FrameDisplay", "inText",      0, 0x01533210, false},
  {31, "FanOutStore",  "outEvent 0",  "JoinStore",    "inJoin",      0, 0x01533528, false},
  {32, "FanOutStore",  "outEvent 1",  "FrameCounter", "inNext",      0, 0x01533570, false},
  {33, "FanOutReplay", "outEvent 0",  "JoinReplay",   "inJoin",      0, 0x01533600, false},
  {34, "FanOutReplay", "outEvent 1",  "FrameCounter", "inReset",     2, 0x01533648, false},
  {35, "FanOutReplay", "outEvent 2",  "ReplyLength",  "inAdd",       0, 0x01533690, false},
  {36, "ReplyLength",  "outResult",   "SerialPort",   "inRead",      4, 0x01533918, false},
  {37, "FanOutClear",  "outEvent 0",  "ReplyLog",     "inClear",     1, 0x03A6AA08, false},
  {38, "FanOutClear",  "outEvent 1",  "SerialPort",   "inPurge",     2, 0x03A6B158, false},
}};
// clang-format on

// Every link joins two elements of scheme/elements.h.
static_assert([] {
  for (const TPanelLink& link : kPanelLinks) {
    if (!IsPanelElement(link.Source) || !IsPanelElement(link.Target)) return false;
  }
  return true;
}());

// Row number n (1-based); a number outside the table does not compile where it is a constant.
constexpr const TPanelLink& PanelLink(std::size_t number) { return kPanelLinks.at(number - 1); }

// The row whose trace id is linkId, or null (for the trace tools).
constexpr const TPanelLink* FindPanelLink(std::uint32_t linkId) {
  for (const TPanelLink& link : kPanelLinks) {
    if (link.LinkId == linkId) return &link;
  }
  return nullptr;
}

}  // namespace fliran
