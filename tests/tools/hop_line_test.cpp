// The trace debugger's lines: names from the panel's link table, the kinds, the values.
#include <gtest/gtest.h>

#include <string>

#include "runtime/trace.h"
#include "tools/trace_debugger/hop_line.h"

namespace fliran::debugger {
namespace {

TData Value(std::uint8_t tag, std::int32_t i = 0, std::string s = {}, double r = 0) {
  TData d;
  d.Tag = tag;
  d.IntValue = i;
  d.StrValue = std::move(s);
  d.RealValue = r;
  return d;
}

std::string LineOf(std::uint8_t kind, std::uint32_t linkId, const TData& value) {
  TKvorn_Event link;
  link.LinkId = linkId;
  const TTraceDatagram report = EncodeReport(kind, link, value);
  return HopLine(report.Bytes.data(), report.Length);
}

TEST(HopLines, NameTheLinkByThePanelTableAndShowTheValue) {
  struct Row {
    std::uint8_t kind;
    std::uint32_t linkId;
    TData value;
    std::string line;
  };
  const Row rows[] = {
      {2, 0x01530E10, Value(TagStr, 0, "95\n"), "0x01530E10 JoinEyes.outJoined -> FanOutLines.inEvent  str \"95\\n\""},
      {2, 0x01531200, Value(TagInt, 95), "0x01531200 SliderEyes.outPosition -> JoinEyes.inJoin  int 95"},
      {4, 0x01530D80, Value(TagEmpty), "0x01530D80 JoinEyes.dataFirst <- SliderEyes.valPosition  pull"},
      {3, 0x01530D80, Value(TagInt, -7), "0x01530D80 JoinEyes.dataFirst <- SliderEyes.valPosition  = int -7"},
      {2, 0x01530F78, Value(TagStr, 0, "a\"\\\t\xC0"),
       "0x01530F78 FanOutLines.outEvent 0 -> SerialPort.inWrite  str \"a\\\"\\\\\\t\\xC0\""},
      {2, 0x03A6B158, Value(TagEmpty), "0x03A6B158 FanOutClear.outEvent 1 -> SerialPort.inPurge  empty"},
      {3, 0x01530C60, Value(TagAbsent), "0x01530C60 SerialPort.dataPort <- PortChooser.valIndex  = absent"},
      {2, 0x00000007, Value(TagReal, 0, {}, -2.25), "0x00000007 ? -> ?  real -2.25"},
      {2, 0x00000007, Value(0x81, 3), "0x00000007 ? -> ?  tag 129"},
      {2, 0x00000007, Value(TagStr, 0, std::string(200, 'x')),
       "0x00000007 ? -> ?  str \"" + std::string(127, 'x') + "\"..."},
  };
  for (const Row& row : rows) EXPECT_EQ(LineOf(row.kind, row.linkId, row.value), row.line);
}

TEST(HopLines, AcknowledgesAndShortDatagramsAreNoHops) {
  const auto acknowledge = EncodeAcknowledge(0x01530E10);
  EXPECT_EQ(HopLine(acknowledge.data(), acknowledge.size()), "");
  const std::uint8_t shortReport[8] = {3, 0, 0, 0, 7, 0, 0, 0};
  EXPECT_EQ(HopLine(shortReport, sizeof shortReport), "");
}

TEST(HopLines, ElementFilterMatchesSourceOrTarget) {
  THop hop;
  hop.Link = FindPanelLink(0x01530E10);  // JoinEyes -> FanOutLines
  EXPECT_TRUE(HopConcerns(hop, "JoinEyes"));
  EXPECT_TRUE(HopConcerns(hop, "FanOutLines"));
  EXPECT_FALSE(HopConcerns(hop, "SerialPort"));
  EXPECT_FALSE(HopConcerns(THop{}, "JoinEyes"));
}

}  // namespace
}  // namespace fliran::debugger
