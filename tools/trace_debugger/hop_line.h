// Reading the trace channel's report datagrams: one line of text per hop, with the link's names
// from the panel's link table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scheme/links.h"

namespace fliran::debugger {

struct THop {
  std::uint32_t LinkId = 0;
  std::uint32_t Kind = 0;
  std::uint32_t Tag = 0;
  const TPanelLink* Link = nullptr;  // null for an id the panel does not have
};

// The hop of a report datagram; false for anything else (an acknowledge, a short datagram).
bool ReadHop(const std::uint8_t* bytes, std::size_t length, THop* hop);

// "0x01530E10 JoinEyes.outJoined -> FanOutLines.inEvent  str "95\n"": the link id, its source
// and target, and the value. A pull reads "<-": "pull" before the value method is called,
// "= int 95" with what it gave.
std::string HopLine(const std::uint8_t* bytes, std::size_t length);

// "0x01530E10 JoinEyes.outJoined -> FanOutLines.inEvent": the hop's link as HopLine names it
// ("0x12345678 ? -> ?" for an id the panel does not have).
std::string LinkText(const THop& hop);

// The value of a report: "int 95", "str "95\n"" (escaped; a cut text ends in "..."),
// "real 1.5", "empty", "absent", "tag N" for any other kind.
std::string ValueText(const std::uint8_t* bytes, std::size_t length);

// Whether the hop's link starts or ends at the element (by its name in the panel).
bool HopConcerns(const THop& hop, std::string_view element);

}  // namespace fliran::debugger
