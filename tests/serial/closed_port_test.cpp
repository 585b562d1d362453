// An element with no open port: before any open, and after an open that failed.
#include <gtest/gtest.h>

#include "port_fixture.h"

namespace fliran {
namespace {

using testing::IntValue;
using testing::kAbsentPort;
using testing::StrValue;

class SerialClosedPort : public testing::SerialPort {};

TEST_F(SerialClosedPort, StartsClosed) {
  EXPECT_FALSE(com.IsOpen());
  EXPECT_EQ(com.PortHandle(), INVALID_HANDLE_VALUE);
}

TEST_F(SerialClosedPort, WriteReadAndPurgeBeforeAnyOpenFireNothing) {
  Write("123\n");
  Write(TData{});
  Read(0);
  Read(100);
  Purge();
  EXPECT_TRUE(written.values.empty());
  EXPECT_TRUE(read.values.empty());
}

TEST_F(SerialClosedPort, ReadBeforeAnyOpenReturnsAtOnceAndKeepsTheValue) {
  TData value = IntValue(100);
  const auto start = std::chrono::steady_clock::now();
  com.inRead(&value, 4);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(value.Tag, TagInt);
  EXPECT_EQ(value.IntValue, 100);
}

TEST_F(SerialClosedPort, FailedOpenLeavesTheElementClosedAndSilent) {
  OpenPort(kAbsentPort);
  EXPECT_FALSE(com.IsOpen());
  EXPECT_TRUE(written.values.empty());
  EXPECT_TRUE(read.values.empty());

  Write("95\n");
  Read(10);
  Purge();
  EXPECT_TRUE(written.values.empty());
  EXPECT_TRUE(read.values.empty());
}

TEST_F(SerialClosedPort, FailedOpenWithThePortPropertyToo) {
  com.Port = static_cast<std::uint8_t>(kAbsentPort - 1);
  TData value = StrValue("3");
  com.inOpen(&value, 0);
  EXPECT_FALSE(com.IsOpen());
  EXPECT_EQ(value.Tag, TagStr);  // the input never names the port
  EXPECT_EQ(value.StrValue, "3");
}

}  // namespace
}  // namespace fliran
