// Writing, reading and purging on an open port, checked byte for byte at the board.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "port_fixture.h"

namespace fliran {
namespace {

using namespace std::chrono_literals;
using testing::Board;
using testing::IntValue;
using testing::RealValue;
using testing::StrValue;
using testing::WaitUntil;

class SerialIO : public testing::SerialPort {
 protected:
  void SetUp() override {
    SerialPort::SetUp();
    FLIRAN_REQUIRE_BOARDS();
  }

  // Opens port n and fails the test when that does not work.
  void OpenOrFail(std::int32_t n) {
    OpenPort(n);
    ASSERT_TRUE(com.IsOpen()) << "COM" << n;
  }

  // Writes 603 (the replay command) and waits until the `reply` bytes the board sends have
  // arrived in the port's receive queue.
  void RequestReply(const Board& board, std::size_t reply) {
    Write("603\n");
    ASSERT_EQ(LastWritten(), 4);
    ASSERT_TRUE(board.WaitSent(reply)) << "the board sent " << board.Sent().size() << " bytes";
    ASSERT_TRUE(WaitArrived(reply));
  }

  // Writes 603 to a plain board and returns its whole answer once it has arrived: "played N
  // frames" CR LF, N being whatever the board recorded before (earlier tests in the same run
  // may have stored frames on it).
  std::string RequestPlayReply(const Board& board) {
    Write("603\n");
    EXPECT_TRUE(WaitUntil([&] {
      const std::string sent = board.Sent();
      return sent.size() >= 2 && sent.compare(sent.size() - 2, 2, "\r\n") == 0;
    })) << "no answer from the board";
    const std::string reply = board.Sent();
    EXPECT_TRUE(WaitArrived(reply.size()));
    return reply;
  }

  // Writes a last line with the element and waits for everything up to it at the board. As each
  // write is one call, whatever an earlier write sent is there before the marker.
  void WriteMarkerAndWait(const Board& board, std::size_t before) {
    Write("0\n");
    ASSERT_TRUE(board.WaitReceived(before + 2));
  }
};

// --- Writing -------------------------------------------------------------------------------------

TEST_F(SerialIO, WritesExactlyTheTextAndFiresTheCount) {
  OpenOrFail(3);
  Write("123\n");
  ASSERT_EQ(written.values.size(), 1u);
  EXPECT_EQ(written.values[0].Tag, TagInt);
  EXPECT_EQ(written.values[0].IntValue, 4);
  ASSERT_NO_FATAL_FAILURE(WriteMarkerAndWait(com3, 4));
  EXPECT_EQ(com3.Received(), "123\n0\n");  // nothing added to the line
}

TEST_F(SerialIO, AddsNothingToNumbersAndKeepsEveryByte) {
  OpenOrFail(3);
  Write(IntValue(95));
  EXPECT_EQ(LastWritten(), 2);
  Write(RealValue(1.5));
  EXPECT_EQ(LastWritten(), 3);
  const std::string bytes("\x00\xff\r\n\x7f", 5);
  Write(bytes);
  EXPECT_EQ(LastWritten(), 5);
  ASSERT_NO_FATAL_FAILURE(WriteMarkerAndWait(com3, 10));
  EXPECT_EQ(com3.Received(), "951.5" + bytes + "0\n");
}

TEST_F(SerialIO, EmptyValueWritesNothingAndFiresZero) {
  OpenOrFail(3);
  Write(TData{});
  Write(StrValue(""));
  ASSERT_EQ(written.values.size(), 2u);
  EXPECT_EQ(written.values[0].Tag, TagInt);
  EXPECT_EQ(written.values[0].IntValue, 0);
  EXPECT_EQ(written.values[1].IntValue, 0);
  Write("0\n");  // a marker: once it is there, anything written before it is there too
  ASSERT_TRUE(com3.WaitReceived(2));
  EXPECT_EQ(com3.Received(), "0\n");
}

TEST_F(SerialIO, LongTextGoesOutWhole) {
  OpenOrFail(3);
  std::string text;
  for (int i = 0; i < 60; ++i) text += std::to_string(i % 541) + "\n";
  text += std::string(700, 'x') + "\n";
  Write(text);
  EXPECT_EQ(LastWritten(), static_cast<std::int32_t>(text.size()));
  ASSERT_TRUE(com3.WaitReceived(text.size()));
  EXPECT_EQ(com3.Received(), text);
}

TEST_F(SerialIO, PanelLinesDriveTheBoard) {
  OpenOrFail(3);
  for (const char* line : {"95\n", "181\n", "540\n", "600\n", "601\n", "602\n"}) {
    Write(line);
    EXPECT_EQ(LastWritten(), static_cast<std::int32_t>(std::string(line).size())) << line;
  }
  ASSERT_TRUE(com3.WaitReceived(22));
  EXPECT_EQ(com3.Received(), "95\n181\n540\n600\n601\n602\n");
  EXPECT_EQ(written.values.size(), 6u);
}

// --- Reading -------------------------------------------------------------------------------------

TEST_F(SerialIO, ReadOfZeroBytesFiresAnEmptyTextAndLeavesPendingBytes) {
  OpenOrFail(5);
  RequestReply(com5, 3);
  TData value = IntValue(0);
  com.inRead(&value, 4);
  ASSERT_EQ(read.values.size(), 1u);
  EXPECT_EQ(read.values[0].Tag, TagStr);
  EXPECT_EQ(read.values[0].StrValue, "");
  EXPECT_EQ(value.Tag, TagInt);  // the request is not consumed
  Read(100);
  EXPECT_EQ(LastRead(), "ok\n");
}

TEST_F(SerialIO, ReadWithNothingArrivingEndsAfterTheTimeouts) {
  OpenOrFail(5);
  // 10 ms x 100 + 10 ms: about a second. The bounds only say "it waited" and "it ended".
  const auto took = TimedRead(100);
  ASSERT_EQ(read.values.size(), 1u);
  EXPECT_EQ(read.values[0].Tag, TagStr);
  EXPECT_EQ(read.values[0].StrValue, "");
  EXPECT_GE(took, 500ms);
  EXPECT_LT(took, 5000ms);
}

TEST_F(SerialIO, ShorterTimeoutEndsAnEmptyReadSooner) {
  com.Timeout = 1;
  OpenOrFail(5);
  const auto took = TimedRead(100);  // 1 ms x 100 + 1 ms
  EXPECT_EQ(LastRead(), "");
  EXPECT_LT(took, 900ms);
}

TEST_F(SerialIO, ReadsTheThreeBytesThatArrive) {
  OpenOrFail(5);
  RequestReply(com5, 3);
  const auto took = TimedRead(100);
  ASSERT_EQ(read.values.size(), 1u);
  EXPECT_EQ(read.values[0].StrValue, "ok\n");
  EXPECT_LT(took, 5000ms);
}

TEST_F(SerialIO, ReplyArrivingDuringTheReadIsReturned) {
  OpenOrFail(5);
  Write("603\n");
  Read(100);  // the answer comes in while the read waits
  EXPECT_EQ(LastRead(), "ok\n");
}

TEST_F(SerialIO, ZeroBytesInsideTheReplyArriveIntact) {
  OpenOrFail(6);
  Board com6(6);
  RequestReply(com6, 6);
  Read(100);
  EXPECT_EQ(LastRead(), std::string("o\0\0k\r\n", 6));
  EXPECT_EQ(LastRead().size(), 6u);
}

TEST_F(SerialIO, ReadStopsAtTheRequestedCount) {
  OpenOrFail(3);
  const std::string reply = RequestPlayReply(com3);
  ASSERT_EQ(reply.rfind("played ", 0), 0u) << reply;
  Read(6);
  EXPECT_EQ(LastRead(), "played");
  Read(100);
  EXPECT_EQ(LastRead(), reply.substr(6));
}

TEST_F(SerialIO, RequestsAboveTheBufferReadAtMost256Bytes) {
  OpenOrFail(7);
  Board com7(7);
  RequestReply(com7, 17 + 300);
  const std::string sent = com7.Sent();
  ASSERT_EQ(sent.size(), 317u);
  Read(100000);
  ASSERT_EQ(LastRead().size(), 256u);
  EXPECT_EQ(LastRead(), sent.substr(0, 256));
  Read(1000);
  EXPECT_EQ(LastRead(), sent.substr(256));
}

TEST_F(SerialIO, NegativeRequestsReadNothing) {
  OpenOrFail(5);
  RequestReply(com5, 3);
  Read(-1);
  ASSERT_EQ(read.values.size(), 1u);
  EXPECT_EQ(read.values[0].Tag, TagStr);
  EXPECT_EQ(read.values[0].StrValue, "");
  Read(-2147483647 - 1);
  EXPECT_EQ(LastRead(), "");
  Read(100);
  EXPECT_EQ(LastRead(), "ok\n");
}

TEST_F(SerialIO, RequestComesFromTheTextOfTheValue) {
  OpenOrFail(3);
  RequestPlayReply(com3);
  TData value = StrValue("4");
  com.inRead(&value, 4);
  EXPECT_EQ(LastRead(), "play");
  EXPECT_EQ(value.StrValue, "4");
}

// --- Purging -------------------------------------------------------------------------------------

// A purge clears the receive side only: what the board sent and nobody has read is gone, ...
TEST_F(SerialIO, PurgeDiscardsReceivedBytes) {
  OpenOrFail(7);
  Board com7(7);
  RequestReply(com7, 317);
  Purge();
  EXPECT_TRUE(read.values.empty());
  EXPECT_EQ(written.values.size(), 1u);  // purging fires nothing (the one count is the 603)
  Read(100);
  EXPECT_EQ(LastRead(), "");
}

// ... while what the element wrote and the board has not taken yet still reaches the board. The
// board on COM4 stops reading after "stop"; the lines written then wait in the pty. They are more
// than the pty's reading side holds (4095 bytes on Linux), so some of them wait where a purge of
// the transmit side would discard them.
TEST_F(SerialIO, PurgeLeavesTheLinesNotYetTakenByTheBoard) {
  OpenOrFail(4);
  Board com4(4);
  Write("stop\n");
  ASSERT_TRUE(com4.WaitEvent("paused"));
  std::string lines;
  for (int i = 0; i < 1500; ++i) lines += "95\n";
  Write(lines);
  ASSERT_EQ(LastWritten(), static_cast<std::int32_t>(lines.size()));
  Purge();
  ASSERT_TRUE(com4.Resume());
  ASSERT_TRUE(com4.WaitEvent("resumed"));
  EXPECT_TRUE(com4.WaitReceived(5 + lines.size())) << "the board got " << com4.Received().size() << " bytes";
  EXPECT_EQ(com4.Received(), "stop\n" + lines);
}

TEST_F(SerialIO, PurgeKeepsThePortUsable) {
  OpenOrFail(5);
  RequestReply(com5, 3);
  Purge();
  const Board afterPurge(5);
  RequestReply(afterPurge, 3);
  Read(100);
  EXPECT_EQ(LastRead(), "ok\n");
  EXPECT_EQ(com5.Received(), "603\n603\n");
}

}  // namespace
}  // namespace fliran
