// The trace channel's wait for the debugger: whatever datagrams come, a hop goes on exactly at the
// first continue for its link or for any link, or at the first stop, which turns tracing off;
// the report goes first and the acknowledge for the hop's link last.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/trace.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Plays the input as the debugger: per poll one byte, even for "nothing came", odd for a
// datagram whose command is the next 8 bytes (missing bytes read as zero). At the end of the
// input it stops tracing, as the debugger does when it quits.
struct InputTransport : fliran::TTraceTransport {
  const std::uint8_t* at;
  const std::uint8_t* end;
  int polls = 0;
  std::vector<Bytes> sent;

  InputTransport(const std::uint8_t* begin, const std::uint8_t* stop) : at(begin), end(stop) {}
  void Send(const std::uint8_t* bytes, std::size_t length) override { sent.emplace_back(bytes, bytes + length); }
  bool Receive(fliran::TTraceCommand* command) override {
    ++polls;
    if (at == end) {
      *command = {fliran::TraceCommandStop, 0};
      return true;
    }
    if ((*at++ & 1) == 0) return false;
    std::uint8_t datagram[8] = {};
    const std::size_t length = std::min<std::size_t>(8, static_cast<std::size_t>(end - at));
    std::memcpy(datagram, at, length);
    at += length;
    *command = {fliran::GetWord(datagram), fliran::GetWord(datagram + 4)};
    return true;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  fliran::TKvorn_Event link;
  link.LinkId = fliran::GetWord(data);
  const std::uint8_t kind = data[4];
  fliran::TData value;
  fliran::MakeInt(&value, static_cast<std::int32_t>(link.LinkId));

  // What the rules say: the polls up to the releasing command, and whether it was a stop.
  int polls = 0;
  bool stopped = true;
  for (InputTransport script(data + 5, data + size);;) {
    fliran::TTraceCommand command;
    ++polls;
    if (!script.Receive(&command)) continue;
    if (command.Command == fliran::TraceCommandStop) break;
    if (command.Command == fliran::TraceCommandContinue &&
        (command.LinkId == link.LinkId || command.LinkId == fliran::kTraceAnyLink)) {
      stopped = false;
      break;
    }
  }

  InputTransport transport(data + 5, data + size);
  fliran::StartTracing(&transport);
  fliran::ReportHop(kind, link, value);
  FUZZ_CHECK(transport.polls == polls);
  FUZZ_CHECK(fliran::TracingOn() == !stopped);
  FUZZ_CHECK(transport.sent.size() == 2);
  const fliran::TTraceDatagram report = fliran::EncodeReport(kind, link, value);
  FUZZ_CHECK(transport.sent[0] == Bytes(report.Bytes.begin(), report.Bytes.begin() + report.Length));
  FUZZ_CHECK(transport.sent[0].size() == 20 && fliran::GetWord(transport.sent[0].data() + 8) == kind);
  const Bytes& acknowledge = transport.sent[1];
  FUZZ_CHECK(acknowledge.size() == 8 && fliran::GetWord(acknowledge.data()) == fliran::kTraceAcknowledgeType &&
             fliran::GetWord(acknowledge.data() + 4) == link.LinkId);

  // Once stopped, a report sends nothing and returns at once.
  if (stopped) {
    fliran::ReportHop(kind, link, value);
    FUZZ_CHECK(transport.sent.size() == 2);
  }
  fliran::StopTracing();
  return 0;
}
