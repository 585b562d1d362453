// SerialOpen: which port, which baud rate, the line settings and time-outs that end up on the
// device, reopening, and closing at destruction. Runs against the boards of with-boards.sh.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "port_fixture.h"

namespace fliran {
namespace {

using testing::Board;
using testing::HandleIsOpen;
using testing::IntValue;
using testing::kAbsentPort;
using testing::StrValue;
using testing::ValueSource;

class SerialOpen : public testing::SerialPort {
 protected:
  void SetUp() override {
    SerialPort::SetUp();
    FLIRAN_REQUIRE_BOARDS();
  }

  // Puts line settings on port n that differ from the element's in every observable field, so
  // that what the element's open leaves there can only come from the element.
  static void PresetOtherSettings(std::int32_t n) {
    const std::string name = DeviceName(n);
    TComHandle port;
    port.Reset(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(port.Valid()) << name;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(port.Get(), &dcb));
    ASSERT_TRUE(BuildCommDCBA("baud=38400 parity=N data=8 stop=2 octs=on", &dcb));
    ASSERT_TRUE(SetCommState(port.Get(), &dcb));
    DCB check{};
    check.DCBlength = sizeof check;
    ASSERT_TRUE(GetCommState(port.Get(), &check));
    ASSERT_EQ(check.BaudRate, 38400u);
    ASSERT_EQ(check.StopBits, TWOSTOPBITS);
    ASSERT_TRUE(check.fOutxCtsFlow);
  }
};

TEST_F(SerialOpen, LinkedPortNumberOpensThatPortWithoutTouchingTheInput) {
  portSource.value = IntValue(3);
  com.dataPort = portSource.Link();
  TData value = IntValue(5);
  com.inOpen(&value, 0);
  ASSERT_TRUE(com.IsOpen());
  EXPECT_EQ(portSource.reads, 1);
  EXPECT_EQ(value.Tag, TagInt);
  EXPECT_EQ(value.IntValue, 5);

  Write("7\n");
  ASSERT_TRUE(com3.WaitReceived(2));
  EXPECT_EQ(com3.Received(), "7\n");
  EXPECT_EQ(com5.Received(), "");
  EXPECT_TRUE(com3.WaitEvent("opened"));
  EXPECT_TRUE(com5.Events().empty());
}

TEST_F(SerialOpen, UnlinkedPortOpensPortPropertyPlusOneWithoutTouchingTheInput) {
  TData value = IntValue(3);
  com.inOpen(&value, 0);
  ASSERT_TRUE(com.IsOpen());
  EXPECT_EQ(value.Tag, TagInt);
  EXPECT_EQ(value.IntValue, 3);

  Write("8\n");
  ASSERT_TRUE(com5.WaitReceived(2));
  EXPECT_EQ(com5.Received(), "8\n");
  EXPECT_EQ(com3.Received(), "");
}

TEST_F(SerialOpen, AbsentLinkedValueFallsBackToThePortProperty) {
  portSource.value.Tag = TagAbsent;
  com.dataPort = portSource.Link();
  Open(IntValue(3));
  ASSERT_TRUE(com.IsOpen());
  Write("9\n");
  ASSERT_TRUE(com5.WaitReceived(2));
  EXPECT_EQ(com3.Received(), "");
}

TEST_F(SerialOpen, TwoDigitPortNumberFromText) {
  Board com12(12);
  portSource.value = StrValue("12");
  com.dataPort = portSource.Link();
  Open();
  ASSERT_TRUE(com.IsOpen());
  Write("1\n");
  ASSERT_TRUE(com12.WaitReceived(2));
  EXPECT_EQ(com12.Received(), "1\n");
}

TEST_F(SerialOpen, AppliesThePanelLineSettingsOverTheCurrentOnes) {
  ASSERT_NO_FATAL_FAILURE(PresetOtherSettings(5));
  Open();
  ASSERT_TRUE(com.IsOpen());
  const DCB dcb = State();
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
  EXPECT_FALSE(dcb.fOutxCtsFlow);
  // A pseudo-terminal keeps 8 data bits and no parity whatever is set, so these two hold
  // here in any case; they are checked all the same, as the record the panel relies on.
  EXPECT_EQ(dcb.Parity, NOPARITY);
  EXPECT_EQ(dcb.ByteSize, 8);
}

TEST_F(SerialOpen, LinkedBaudRateWithEvenParity) {
  // A Linux pseudo-terminal always reports 8 data bits and no parity, whatever was set, so the
  // parity letter is checked through the parser (line_setting_test.cpp); here the baud rate and
  // the open's success with parity E are what the device shows.
  ValueSource baud;
  baud.value = IntValue(19200);
  com.dataBaud = baud.Link();
  com.Parity = 2;
  Open();
  ASSERT_TRUE(com.IsOpen());
  EXPECT_EQ(baud.reads, 1);
  EXPECT_EQ(State().BaudRate, 19200u);
}

TEST_F(SerialOpen, BaudPropertyZeroTakesAndConsumesTheInputValue) {
  com.Baud = 0;
  TData value = IntValue(19200);
  com.inOpen(&value, 0);
  ASSERT_TRUE(com.IsOpen());
  EXPECT_EQ(State().BaudRate, 19200u);
  EXPECT_EQ(value.Tag, TagEmpty);
}

TEST_F(SerialOpen, BaudPropertyWinsOverTheInputValue) {
  com.Baud = 4800;
  TData value = IntValue(19200);
  com.inOpen(&value, 0);
  ASSERT_TRUE(com.IsOpen());
  EXPECT_EQ(State().BaudRate, 4800u);
  EXPECT_EQ(value.Tag, TagInt);
}

TEST_F(SerialOpen, TimeoutGoesIntoAllFiveFields) {
  com.Timeout = 25;
  Open();
  ASSERT_TRUE(com.IsOpen());
  COMMTIMEOUTS t{};
  ASSERT_TRUE(GetCommTimeouts(com.PortHandle(), &t));
  EXPECT_EQ(t.ReadIntervalTimeout, 25u);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 25u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 25u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 25u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 25u);
}

TEST_F(SerialOpen, RejectedLineSettingClosesThePortAgain) {
  com.Baud = -5;  // the line-setting parser refuses a negative baud rate
  OpenPort(3);
  EXPECT_FALSE(com.IsOpen());
  EXPECT_TRUE(com3.WaitEvent("opened"));
  EXPECT_TRUE(com3.WaitEvent("closed"));
  Write("1\n");
  EXPECT_TRUE(written.values.empty());
}

TEST_F(SerialOpen, SecondOpenClosesTheFirstHandle) {
  OpenPort(3);
  ASSERT_TRUE(com.IsOpen());
  void* first = com.PortHandle();
  OpenPort(5);
  ASSERT_TRUE(com.IsOpen());
  // The new handle may reuse the number of the old one; otherwise the old one must be gone.
  EXPECT_TRUE(com.PortHandle() == first || !HandleIsOpen(first));
  EXPECT_TRUE(com3.WaitEvent("closed"));
  Write("5\n");
  ASSERT_TRUE(com5.WaitReceived(2));
  EXPECT_EQ(com3.Received(), "");
}

TEST_F(SerialOpen, SecondOpenOfTheSamePortKeepsOnlyOneHandle) {
  OpenPort(3);
  ASSERT_TRUE(com.IsOpen());
  void* first = com.PortHandle();
  Open();  // dataPort still yields 3
  ASSERT_TRUE(com.IsOpen());
  EXPECT_TRUE(com.PortHandle() == first || !HandleIsOpen(first));
  Write("33\n");
  ASSERT_TRUE(com3.WaitReceived(3));
  EXPECT_EQ(com3.Received(), "33\n");
}

TEST_F(SerialOpen, FailingSecondOpenStillClosesTheFirstHandle) {
  OpenPort(3);
  ASSERT_TRUE(com.IsOpen());
  void* first = com.PortHandle();
  OpenPort(kAbsentPort);
  EXPECT_FALSE(com.IsOpen());
  EXPECT_FALSE(HandleIsOpen(first));
  EXPECT_TRUE(com3.WaitEvent("closed"));
  Write("1\n");
  Read(5);
  EXPECT_TRUE(written.values.empty());
  EXPECT_TRUE(read.values.empty());
}

TEST_F(SerialOpen, DestructionClosesThePort) {
  void* handle = nullptr;
  {
    TKvornCOM port;
    port.Port = 2;  // COM3
    port.Baud = 9600;
    port.Timeout = 10;
    TData value;
    port.inOpen(&value, 0);
    ASSERT_TRUE(port.IsOpen());
    handle = port.PortHandle();
    ASSERT_TRUE(HandleIsOpen(handle));
  }
  EXPECT_FALSE(HandleIsOpen(handle));
  EXPECT_TRUE(com3.WaitEvent("closed"));
}

}  // namespace
}  // namespace fliran
