// The texts the serial port element builds for the platform: the line-setting text from Baud and
// Parity, and the device name from the port number. Plain text, no port and no platform call:
// what the platform makes of the text is checked on real ports by the serial tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "elements/line_setting.h"

namespace fliran {
namespace {

TEST(SerialLineSetting, TextFromBaudRateAndParityLetter) {
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  const struct {
    std::int32_t baud;
    std::int32_t parity;
    const char* text;
  } cases[] = {
      {9600, 0, "baud=9600 parity=N data=8 stop=1 octs=off"},  // the panel's settings
      {19200, 2, "baud=19200 parity=E data=8 stop=1 octs=off"},
      {110, 1, "baud=110 parity=O data=8 stop=1 octs=off"},
      {115200, 3, "baud=115200 parity=M data=8 stop=1 octs=off"},
      {300, 4, "baud=300 parity=S data=8 stop=1 octs=off"},
      {-5, 0, "baud=-5 parity=N data=8 stop=1 octs=off"},
      {0, 0, "baud=0 parity=N data=8 stop=1 octs=off"},
      {kMax, 2, "baud=2147483647 parity=E data=8 stop=1 octs=off"},
      // A Parity outside 0..4 names no letter of "NOEMS" and means none.
      {9600, 5, "baud=9600 parity=N data=8 stop=1 octs=off"},
      {9600, -1, "baud=9600 parity=N data=8 stop=1 octs=off"},
      {9600, kMin, "baud=9600 parity=N data=8 stop=1 octs=off"},
      {9600, kMax, "baud=9600 parity=N data=8 stop=1 octs=off"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LineSettingText(c.baud, c.parity), c.text) << "baud " << c.baud << ", parity " << c.parity;
  }
}

TEST(SerialDeviceName, BackslashesFullStopComAndTheDecimalNumber) {
  const struct {
    std::int32_t port;
    const char* name;
  } cases[] = {
      {5, "\\\\.\\Com5"},  {12, "\\\\.\\Com12"}, {0, "\\\\.\\Com0"},
      {1, "\\\\.\\Com1"},  {256, "\\\\.\\Com256"},
  };
  for (const auto& c : cases) EXPECT_EQ(DeviceName(c.port), c.name) << c.port;
  EXPECT_EQ(DeviceName(5).size(), 8u);
}

}  // namespace
}  // namespace fliran
