// The trace channel's datagrams, its wait for the debugger and its switch.
#include "runtime/trace.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace fliran {

namespace {

TTraceTransport* transport = nullptr;
bool enabled = false;

}  // namespace

TTraceDatagram EncodeReport(std::uint8_t kind, const TKvorn_Event& e, const TData& d) {
  TTraceDatagram datagram;
  std::uint8_t* bytes = datagram.Bytes.data();
  PutWord(bytes, kTraceReportType);
  PutWord(bytes + 4, e.LinkId);
  PutWord(bytes + 8, kind);
  PutWord(bytes + 12, d.Tag);
  std::uint8_t* payload = bytes + kTraceHeaderSize;
  switch (d.Tag) {
    case TagInt:
      PutWord(payload, static_cast<std::uint32_t>(d.IntValue));
      datagram.Length += 4;
      break;
    case TagReal: {
      std::uint64_t bits = 0;
      std::memcpy(&bits, &d.RealValue, sizeof bits);
      PutWord(payload, static_cast<std::uint32_t>(bits));
      PutWord(payload + 4, static_cast<std::uint32_t>(bits >> 32));
      datagram.Length += 8;
      break;
    }
    case TagStr: {
      // The copy stops at a zero byte inside the text; the counted bytes after it stay zero.
      const std::string& text = d.StrValue;
      const std::size_t counted = std::min(text.size(), kTraceTextLimit);
      const std::size_t copied = std::min(counted, text.find('\0'));
      std::memcpy(payload, text.data(), copied);
      datagram.Length += std::min(text.size(), kTracePayloadSize);
      break;
    }
    default:
      // The object kinds (stream, dimensions, named object) would be described in the payload,
      // but the length sent covers the header only, so nothing of the text would travel.
      break;
  }
  return datagram;
}

std::array<std::uint8_t, 8> EncodeAcknowledge(std::uint32_t linkId) {
  std::array<std::uint8_t, 8> bytes{};
  PutWord(bytes.data(), kTraceAcknowledgeType);
  PutWord(bytes.data() + 4, linkId);
  return bytes;
}

void StartTracing(TTraceTransport* channel) {
  transport = channel;
  enabled = true;
  SetTraceReport(&ReportHop);
}

void StopTracing() {
  enabled = false;
  transport = nullptr;
  SetTraceReport(nullptr);
}

bool TracingOn() { return enabled; }

void ReportHop(std::uint8_t kind, const TKvorn_Event& e, const TData& d) {
  if (!enabled || transport == nullptr) return;
  TTraceTransport* channel = transport;  // a stop in the wait lets go of the global, not of this hop
  const std::uint32_t linkId = e.LinkId;
  const TTraceDatagram report = EncodeReport(kind, e, d);
  channel->Send(report.Bytes.data(), report.Length);
  for (;;) {
    TTraceCommand command;
    if (!channel->Receive(&command)) continue;
    if (command.Command == TraceCommandStop) {
      StopTracing();
      break;
    }
    if (command.Command == TraceCommandContinue && (command.LinkId == linkId || command.LinkId == kTraceAnyLink)) {
      break;
    }
    // A continue for another hop or an unknown command: dropped, the wait receives again.
  }
  const std::array<std::uint8_t, 8> acknowledge = EncodeAcknowledge(linkId);
  channel->Send(acknowledge.data(), acknowledge.size());
}

std::optional<std::uint16_t> TracePortFromSwitch(const char* trace, const char* port, std::string* problem) {
  if (problem != nullptr) problem->clear();
  if (trace == nullptr || std::string_view(trace) != "1") return std::nullopt;
  if (port == nullptr) return kTraceDefaultPort;
  const std::string_view text(port);
  std::uint32_t value = 0;
  bool valid = !text.empty() && text.size() <= 5;
  for (char c : text) {
    valid = valid && c >= '0' && c <= '9';
    if (valid) value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (valid && value >= 1 && value <= 65535) return static_cast<std::uint16_t>(value);
  if (problem != nullptr) {
    *problem = "FLIRAN_TRACE_PORT=\"" + std::string(text) + "\" is not a UDP port (1 to 65535): tracing is off";
  }
  return std::nullopt;
}

}  // namespace fliran
