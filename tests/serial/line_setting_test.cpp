// The line-setting text and the device name, and what the Win32 parser makes of the text.
// None of these needs a port.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "elements/serial_port.h"

namespace fliran {
namespace {

TEST(SerialLineSetting, PanelSettings) {
  EXPECT_EQ(LineSettingText(9600, 0), "baud=9600 parity=N data=8 stop=1 octs=off");
}

TEST(SerialLineSetting, BaudRateAndParityLetterFollowTheProperties) {
  EXPECT_EQ(LineSettingText(19200, 2), "baud=19200 parity=E data=8 stop=1 octs=off");
  EXPECT_EQ(LineSettingText(110, 1), "baud=110 parity=O data=8 stop=1 octs=off");
  EXPECT_EQ(LineSettingText(115200, 3), "baud=115200 parity=M data=8 stop=1 octs=off");
  EXPECT_EQ(LineSettingText(300, 4), "baud=300 parity=S data=8 stop=1 octs=off");
  EXPECT_EQ(LineSettingText(-5, 0), "baud=-5 parity=N data=8 stop=1 octs=off");
}

TEST(SerialLineSetting, ParityOutsideTheFiveLettersMeansNone) {
  for (std::int32_t parity : {5, 6, 100, -1, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(LineSettingText(9600, parity), "baud=9600 parity=N data=8 stop=1 octs=off")
        << "parity " << parity;
  }
}

TEST(SerialDeviceName, BackslashesFullStopAndDecimalNumber) {
  EXPECT_EQ(DeviceName(5), "\\\\.\\Com5");
  EXPECT_EQ(DeviceName(12), "\\\\.\\Com12");
  EXPECT_EQ(DeviceName(256), "\\\\.\\Com256");
  EXPECT_EQ(DeviceName(5).size(), 8u);
}

// The text goes through BuildCommDCBA over a record whose fields all say something else, so each
// field checked below was written by the parser from the text.
DCB ParsedOverOtherSettings(const std::string& text) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  EXPECT_TRUE(BuildCommDCBA("baud=1200 parity=O data=7 stop=2 octs=on", &dcb));
  EXPECT_TRUE(BuildCommDCBA(text.c_str(), &dcb)) << text;
  return dcb;
}

TEST(SerialLineSetting, ParsesIntoTheIntendedRecord) {
  const DCB dcb = ParsedOverOtherSettings(LineSettingText(9600, 0));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.ByteSize, 8);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_FALSE(dcb.fOutxCtsFlow);
}

TEST(SerialLineSetting, ParityIndexesParseToTheirParities) {
  EXPECT_EQ(ParsedOverOtherSettings(LineSettingText(19200, 2)).Parity, EVENPARITY);
  EXPECT_EQ(ParsedOverOtherSettings(LineSettingText(19200, 2)).BaudRate, 19200u);
  EXPECT_EQ(ParsedOverOtherSettings(LineSettingText(9600, 1)).Parity, ODDPARITY);
  EXPECT_EQ(ParsedOverOtherSettings(LineSettingText(9600, 3)).Parity, MARKPARITY);
  EXPECT_EQ(ParsedOverOtherSettings(LineSettingText(9600, 4)).Parity, SPACEPARITY);
  EXPECT_EQ(ParsedOverOtherSettings(LineSettingText(9600, 9)).Parity, NOPARITY);
}

TEST(SerialLineSetting, NegativeBaudRateIsRejectedByTheParser) {
  // This is how an open with a nonsensical baud rate fails (see the open tests).
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  EXPECT_FALSE(BuildCommDCBA(LineSettingText(-5, 0).c_str(), &dcb));
}

}  // namespace
}  // namespace fliran
