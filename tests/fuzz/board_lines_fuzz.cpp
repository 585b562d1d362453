// The virtual board's line reader: any byte stream, cut into any chunks, gives the lines between
// its line feeds (the overlong ones cut to their start and counted), each read as a command
// exactly when it is plain decimal digits (then CRs) naming a known command, and the board
// answers the same whichever way the stream was cut.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "bird.hpp"
#include "tests/fuzz/fuzz_check.h"

namespace {

using board_sim::LineSplitter;

// The command a line names by the protocol, if any: digits only (trailing CRs dropped), and a
// value of 0..180, 181..360, 361..540 (eyes, neck, mouth) or 600..603.
std::optional<board_sim::Command> ReferenceCommand(std::string_view line) {
  using board_sim::CommandKind;
  line = line.substr(0, line.find_last_not_of('\r') + 1);
  if (line.empty() || line.find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
  long value = 0;
  for (char c : line) value = std::min(value * 10 + (c - '0'), 1000000L);
  const int n = static_cast<int>(value);
  if (n <= 540) return board_sim::Command{n <= 180 ? CommandKind::eyes : n <= 360 ? CommandKind::neck : CommandKind::mouth, n};
  constexpr CommandKind buttons[] = {CommandKind::toggle_glow, CommandKind::store_frame, CommandKind::recentre,
                                     CommandKind::play};
  if (value >= 600 && value <= 603) return board_sim::Command{buttons[n - 600], n};
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view stream = FuzzText(data + 1, size - 1);

  // Chunk lengths 0..16 from a small generator seeded by the first byte.
  unsigned seed = data[0];
  std::vector<std::string_view> chunks;
  for (std::size_t at = 0; at < stream.size();) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t length = std::min<std::size_t>((seed >> 16) % 17, stream.size() - at);
    chunks.push_back(stream.substr(at, length));
    at += length;
  }

  LineSplitter splitter;
  std::vector<LineSplitter::Line> lines;
  board_sim::Board chunked;
  std::vector<std::string> messages;
  std::string reply;
  for (std::string_view chunk : chunks) {
    splitter.feed(chunk, lines);
    FUZZ_CHECK(splitter.pending_size() <= LineSplitter::max_line_length);
    board_sim::Board::Output out = chunked.receive(chunk);
    messages.insert(messages.end(), out.messages.begin(), out.messages.end());
    reply += out.reply;
  }

  std::size_t start = 0, index = 0;
  for (std::size_t lf = stream.find('\n'); lf != std::string_view::npos; lf = stream.find('\n', start)) {
    const std::string_view text = stream.substr(start, lf - start);
    FUZZ_CHECK(index < lines.size());
    const LineSplitter::Line& line = lines[index++];
    FUZZ_CHECK(line.length == text.size());
    FUZZ_CHECK(line.overlong == (text.size() > LineSplitter::max_line_length));
    FUZZ_CHECK(line.text == text.substr(0, LineSplitter::max_line_length));
    if (!line.overlong) {
      const board_sim::ParsedLine parsed = board_sim::parse_line(line.text);
      const std::optional<board_sim::Command> command = ReferenceCommand(text);
      FUZZ_CHECK(parsed.command.has_value() == command.has_value());
      FUZZ_CHECK(!command || (parsed.command->value == command->value && parsed.command->kind == command->kind));
      FUZZ_CHECK(command || !parsed.reason.empty());
    }
    start = lf + 1;
  }
  FUZZ_CHECK(index == lines.size());
  FUZZ_CHECK(splitter.pending_size() == std::min(stream.size() - start, LineSplitter::max_line_length));

  board_sim::Board whole;
  const board_sim::Board::Output out = whole.receive(stream);
  FUZZ_CHECK(out.messages == messages && out.reply == reply);
  return 0;
}
