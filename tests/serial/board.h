// Access to the virtual bird boards that tests/serial/with-boards.sh starts around each test:
// their byte logs and ready files, read from the Windows side through drive Z: (the Unix root).
//
// The script exports FLIRAN_SERIAL_BOARDS, the Unix folder with, per COM port N,
//   boardN.log    every byte received ("rx") and sent ("tx") and the port events ("ev")
//   boardN.ready  present while the port is in place (gone after a drop, back on reappearance)
//   boardN.resume made by a test to let a stopped board read again (Resume)
// (Not "comN.log": a Windows file name whose base is COM1..COM9 names the serial device.)
// The boards it starts (see the script for their options):
//   COM3, COM12  plain boards: 603 is answered "played N frames" CR LF
//   COM4         stops reading its pty after the line "stop" (event "paused") until Resume()
//   COM5         answers 603 with the 3 bytes "ok" LF
//   COM6         answers 603 with bytes that contain zero bytes
//   COM7         answers 603 and then floods 300 more bytes
//   COM8         drops the line after 8 received bytes and comes back after a second
//   COM9         never answers 603
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace fliran::testing {

// A port number that no board and no Wine device uses: opening it fails.
inline constexpr std::int32_t kAbsentPort = 200;

// One record of a board log: "<usec> rx|tx|ev <hex bytes or event text>".
struct BoardRecord {
  long long usec = 0;
  std::string kind;
  std::string text;  // decoded bytes for rx/tx, the event text for ev
};

inline std::string BoardDir() {
  const char* dir = std::getenv("FLIRAN_SERIAL_BOARDS");
  return dir != nullptr ? std::string("Z:") + dir : std::string();
}

inline bool BoardsAvailable() { return !BoardDir().empty(); }

#define FLIRAN_REQUIRE_BOARDS()                                                          \
  ASSERT_TRUE(::fliran::testing::BoardsAvailable())                                      \
      << "FLIRAN_SERIAL_BOARDS is not set: run this program through "                   \
         "tests/serial/with-boards.sh (ctest does)"

inline std::string DecodeHex(const std::string& hex) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const int high = digit(hex[i]);
    const int low = digit(hex[i + 1]);
    if (high < 0 || low < 0) break;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

// Polls cond every 10 ms until it holds or timeout passes; returns whether it held.
inline bool WaitUntil(const std::function<bool()>& cond,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (cond()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// One board as a test sees it: only what the board logged after this object was made, so that
// tests sharing a board (several tests in one run of the program) do not see each other.
class Board {
 public:
  explicit Board(int com) : com_(com) { skip_ = AllRecords().size(); }

  std::string LogPath() const { return BoardDir() + "/board" + std::to_string(com_) + ".log"; }
  std::string ReadyPath() const { return BoardDir() + "/board" + std::to_string(com_) + ".ready"; }

  // Whether the board's port is in place right now.
  bool Present() const { return GetFileAttributesA(ReadyPath().c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::vector<BoardRecord> Records() const {
    std::vector<BoardRecord> records = AllRecords();
    records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(std::min(skip_, records.size())));
    return records;
  }

  // Every record the board has logged since it started.
  std::vector<BoardRecord> AllRecords() const {
    std::vector<BoardRecord> records;
    // Through the platform's file calls: the C runtime of the winelib build is Linux's and knows
    // no drive letters.
    const HANDLE file = CreateFileA(LogPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return records;
    std::string content;
    char chunk[4096];
    for (DWORD n = 0; ReadFile(file, chunk, sizeof chunk, &n, nullptr) != FALSE && n > 0;) content.append(chunk, n);
    CloseHandle(file);
    std::size_t start = 0;
    for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = content.substr(start, end - start);
      const std::size_t first = line.find(' ');
      const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
      if (second == std::string::npos) continue;
      BoardRecord record;
      record.usec = std::atoll(line.substr(0, first).c_str());
      record.kind = line.substr(first + 1, second - first - 1);
      record.text = line.substr(second + 1);
      if (record.kind != "ev") record.text = DecodeHex(record.text);
      records.push_back(std::move(record));
    }
    return records;
  }

  // All bytes of the given direction ("rx" received from the program, "tx" sent to it) in the
  // records this object sees, from record number `skip` on.
  std::string Bytes(const char* kind, std::size_t skip = 0) const {
    std::string bytes;
    const std::vector<BoardRecord> records = Records();
    for (std::size_t i = skip; i < records.size(); ++i) {
      if (records[i].kind == kind) bytes += records[i].text;
    }
    return bytes;
  }
  std::string Received() const { return Bytes("rx"); }
  std::string Sent() const { return Bytes("tx"); }

  // The port events in order: "appeared", "opened", "closed", "paused", "resumed", "dropped"
  // (without the pty path).
  std::vector<std::string> Events() const {
    std::vector<std::string> events;
    for (const BoardRecord& r : Records()) {
      if (r.kind == "ev") events.push_back(r.text.substr(0, r.text.find(' ')));
    }
    return events;
  }

  bool WaitReceived(std::size_t count) const {
    return WaitUntil([&] { return Received().size() >= count; });
  }
  // Waits until the board has handed count bytes to its pty. Whether they have reached the
  // program's side yet is another matter: see SerialPort::WaitArrived.
  bool WaitSent(std::size_t count) const {
    return WaitUntil([&] { return Sent().size() >= count; });
  }
  bool WaitEvent(const std::string& event, std::size_t occurrences = 1) const {
    return WaitUntil([&] {
      std::size_t seen = 0;
      for (const std::string& e : Events()) seen += e == event ? 1 : 0;
      return seen >= occurrences;
    });
  }

  // Lets a board that stopped reading (COM4 after "stop") read again.
  bool Resume() const {
    const HANDLE file = CreateFileA((BoardDir() + "/board" + std::to_string(com_) + ".resume").c_str(), GENERIC_WRITE,
                                    0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file) != FALSE;
  }

 private:
  int com_;
  std::size_t skip_ = 0;
};

// Whether h is a handle of this process right now.
inline bool HandleIsOpen(void* h) {
  DWORD flags = 0;
  return GetHandleInformation(h, &flags) != 0;
}

}  // namespace fliran::testing
