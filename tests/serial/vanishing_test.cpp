// A board that drops the line in the middle of a session (COM8: after 8 received bytes) and comes
// back a second later on a new pseudo-terminal.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "port_fixture.h"

namespace fliran {
namespace {

using namespace std::chrono_literals;
using testing::Board;
using testing::WaitUntil;

class SerialVanishingBoard : public testing::SerialPort {
 protected:
  Board com8{8};

  void SetUp() override {
    SerialPort::SetUp();
    FLIRAN_REQUIRE_BOARDS();
    // After a drop the board is back within a second, with its byte count restarted; so a
    // test that follows another in the same process finds it as fresh as the first one.
    ASSERT_TRUE(WaitUntil([&] { return com8.Present(); }, 5000ms)) << "no board on COM8";
    OpenPort(8);
    ASSERT_TRUE(com.IsOpen());
  }

  // Writes until the board has dropped the line.
  void WriteUntilGone() {
    Write("95\n");
    EXPECT_EQ(LastWritten(), 3);
    Write("181\n");
    EXPECT_EQ(LastWritten(), 4);
    Write("540\n");  // the eighth byte arrives here
    ASSERT_TRUE(WaitUntil([&] { return !com8.Present(); }, 5000ms)) << "the board did not drop the line";
    ASSERT_TRUE(com8.WaitEvent("dropped"));
    // The board logs the drop and removes its ready file just before it closes the line; once it
    // is closed, the driver can no longer tell the state of the port.
    ASSERT_TRUE(WaitUntil([&] {
      DWORD errors = 0;
      COMSTAT status{};
      return !ClearCommError(com.PortHandle(), &errors, &status);
    })) << "the line is still there";
  }

  template <class F>
  static std::chrono::milliseconds Timed(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }
};

TEST_F(SerialVanishingBoard, WritesFireZeroOrTheirCountWithoutHanging) {
  WriteUntilGone();
  const std::size_t before = written.values.size();
  for (const char* line : {"600\n", "1\n", "602\n"}) {
    const auto took = Timed([&] { Write(line); });
    EXPECT_LT(took, 5000ms);
    ASSERT_EQ(written.values.size(), before + 1) << line;
    const std::int32_t count = LastWritten();
    const auto length = static_cast<DWORD>(std::string(line).size());
    EXPECT_TRUE(count == 0 || count == static_cast<std::int32_t>(length)) << line << " fired " << count;
    // The element reports what the driver reports: the same write straight on its handle gives
    // the same answer (with the line gone for good, both calls meet the same state).
    DWORD direct = 0;
    const BOOL ok = WriteFile(com.PortHandle(), line, length, &direct, nullptr);
    EXPECT_EQ(count, ok ? static_cast<std::int32_t>(direct) : 0) << line;
    written.values.pop_back();
  }
  EXPECT_TRUE(com.IsOpen());  // a failed write does not close the port
}

TEST_F(SerialVanishingBoard, ReadsFireAnEmptyTextWithoutHanging) {
  WriteUntilGone();
  const auto took = Timed([&] { Read(100); });
  ASSERT_EQ(read.values.size(), 1u);
  EXPECT_EQ(read.values[0].Tag, TagStr);
  EXPECT_EQ(read.values[0].StrValue, "");
  EXPECT_LT(took, 5000ms);
  const auto purgeTook = Timed([&] { Purge(); });
  EXPECT_LT(purgeTook, 5000ms);
  EXPECT_EQ(read.values.size(), 1u);
}

TEST_F(SerialVanishingBoard, PickingThePortAgainAfterItIsBackWorks) {
  WriteUntilGone();
  Write("600\n");
  Read(10);
  ASSERT_TRUE(WaitUntil([&] { return com8.Present(); }, 5000ms)) << "the board did not come back";
  const std::size_t recordsBefore = com8.Records().size();

  Open();  // dataPort still yields 8, as when the user picks the port again
  ASSERT_TRUE(com.IsOpen());
  Write("602\n");
  EXPECT_EQ(LastWritten(), 4);
  ASSERT_TRUE(WaitUntil([&] { return com8.Bytes("rx", recordsBefore).size() >= 4; }));
  EXPECT_EQ(com8.Bytes("rx", recordsBefore), "602\n");
}

}  // namespace
}  // namespace fliran
