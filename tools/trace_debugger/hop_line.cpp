// Report datagrams to text.
#include "tools/trace_debugger/hop_line.h"

#include <cstdio>
#include <cstring>

#include "runtime/data.h"
#include "runtime/trace.h"

namespace fliran::debugger {

bool ReadHop(const std::uint8_t* bytes, std::size_t length, THop* hop) {
  if (length < kTraceHeaderSize || GetWord(bytes) != kTraceReportType) return false;
  hop->LinkId = GetWord(bytes + 4);
  hop->Kind = GetWord(bytes + 8);
  hop->Tag = GetWord(bytes + 12);
  hop->Link = FindPanelLink(hop->LinkId);
  return true;
}

namespace {

std::string Quoted(const std::uint8_t* text, std::size_t length) {
  std::string out = "\"";
  for (std::size_t i = 0; i < length && text[i] != 0; ++i) {
    const std::uint8_t c = text[i];
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      default:
        if (c < 0x20 || c >= 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

}  // namespace

std::string ValueText(const std::uint8_t* bytes, std::size_t length) {
  THop hop;
  if (!ReadHop(bytes, length, &hop)) return {};
  const std::uint8_t* payload = bytes + kTraceHeaderSize;
  const std::size_t size = length - kTraceHeaderSize;
  switch (hop.Tag) {
    case TagInt:
      if (size < 4) break;
      return "int " + std::to_string(static_cast<std::int32_t>(GetWord(payload)));
    case TagReal: {
      if (size < 8) break;
      const std::uint64_t bits = GetWord(payload) | static_cast<std::uint64_t>(GetWord(payload + 4)) << 32;
      TData value;
      MakeReal(&value, 0.0);
      std::memcpy(&value.RealValue, &bits, sizeof bits);
      return "real " + ToString(value);
    }
    case TagStr:
      // 144 bytes sent: the text was longer than the 127 that travel.
      return "str " + Quoted(payload, size) + (size == kTracePayloadSize ? "..." : "");
    case TagEmpty:
      return "empty";
    case TagAbsent:
      return "absent";
    default:
      break;
  }
  return "tag " + std::to_string(hop.Tag);
}

std::string LinkText(const THop& hop) {
  char id[16];
  std::snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(hop.LinkId));
  std::string line = id;
  const bool pull = hop.Kind == TraceKindPull || hop.Kind == TraceKindPulled;
  if (hop.Link == nullptr) return line + (pull ? " ? <- ?" : " ? -> ?");
  line += ' ';
  line += hop.Link->Source;
  line += '.';
  line += hop.Link->SourcePoint;
  line += pull ? " <- " : " -> ";
  line += hop.Link->Target;
  line += '.';
  line += hop.Link->TargetPoint;
  return line;
}

std::string HopLine(const std::uint8_t* bytes, std::size_t length) {
  THop hop;
  if (!ReadHop(bytes, length, &hop)) return {};
  std::string line = LinkText(hop) + "  ";
  if (hop.Kind == TraceKindPull) return line + "pull";
  if (hop.Kind == TraceKindPulled) line += "= ";
  return line + ValueText(bytes, length);
}

bool HopConcerns(const THop& hop, std::string_view element) {
  return hop.Link != nullptr && (hop.Link->Source == element || hop.Link->Target == element);
}

}  // namespace fliran::debugger
