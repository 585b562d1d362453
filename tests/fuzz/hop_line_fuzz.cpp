// The trace debugger's reading of datagrams: any datagram gives a line without a fault; a report
// gives one line of printable characters that starts with its link id and shows its value, a
// text escaped so that it reads back byte for byte; anything else gives no line.
#include <cstdio>
#include <optional>
#include <string>

#include "runtime/trace.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/trace_debugger/hop_line.h"

namespace {

// The text of a quoted value ("..." with \n \r \t \" \\ \xHH), and what follows the quotes.
std::optional<std::string> Unquoted(std::string_view quoted, std::string_view* rest) {
  if (quoted.empty() || quoted[0] != '"') return std::nullopt;
  std::string text;
  for (std::size_t i = 1; i < quoted.size(); ++i) {
    const char c = quoted[i];
    if (c == '"') {
      *rest = quoted.substr(i + 1);
      return text;
    }
    if (c != '\\') {
      text += c;
      continue;
    }
    if (++i == quoted.size()) return std::nullopt;
    switch (quoted[i]) {
      case 'n': text += '\n'; break;
      case 'r': text += '\r'; break;
      case 't': text += '\t'; break;
      case '"': text += '"'; break;
      case '\\': text += '\\'; break;
      case 'x': {
        if (i + 2 >= quoted.size()) return std::nullopt;
        unsigned byte = 0;
        for (char h : quoted.substr(i + 1, 2)) {
          const std::size_t digit = std::string_view("0123456789ABCDEF").find(h);
          if (digit == std::string_view::npos) return std::nullopt;
          byte = byte * 16 + static_cast<unsigned>(digit);
        }
        text += static_cast<char>(byte);
        i += 2;
        break;
      }
      default: return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line = fliran::debugger::HopLine(data, size);
  const std::string value = fliran::debugger::ValueText(data, size);
  const bool report = size >= fliran::kTraceHeaderSize && fliran::GetWord(data) == fliran::kTraceReportType;
  FUZZ_CHECK(line.empty() != report && value.empty() != report);
  if (!report) return 0;

  for (char c : line) FUZZ_CHECK(c >= 0x20 && c < 0x7F);
  char id[16];
  std::snprintf(id, sizeof id, "0x%08X ", static_cast<unsigned>(fliran::GetWord(data + 4)));
  FUZZ_CHECK(line.rfind(id, 0) == 0);
  const std::uint32_t kind = fliran::GetWord(data + 8);
  if (kind == fliran::TraceKindPull) {
    FUZZ_CHECK(line.size() >= 6 && line.compare(line.size() - 6, 6, "  pull") == 0);
    return 0;
  }
  FUZZ_CHECK(line.size() >= value.size() && line.compare(line.size() - value.size(), value.size(), value) == 0);

  const std::uint32_t tag = fliran::GetWord(data + 12);
  const std::uint8_t* payload = data + fliran::kTraceHeaderSize;
  const std::size_t payloadSize = size - fliran::kTraceHeaderSize;
  if (tag == fliran::TagInt && payloadSize >= 4) {
    FUZZ_CHECK(value == "int " + std::to_string(static_cast<std::int32_t>(fliran::GetWord(payload))));
  } else if (tag == fliran::TagReal && payloadSize >= 8) {
    FUZZ_CHECK(value.rfind("real ", 0) == 0 && value.size() > 5);
  } else if (tag == fliran::TagStr) {
    // The text up to its zero byte, and "..." when the sender had to cut it.
    std::string_view rest;
    const std::optional<std::string> text = Unquoted(std::string_view(value).substr(4), &rest);
    FUZZ_CHECK(value.rfind("str ", 0) == 0 && text.has_value());
    std::string sent(reinterpret_cast<const char*>(payload), payloadSize);
    sent = sent.substr(0, sent.find('\0'));
    FUZZ_CHECK(*text == sent);
    FUZZ_CHECK(rest == (payloadSize == fliran::kTracePayloadSize ? "..." : ""));
  }
  return 0;
}
