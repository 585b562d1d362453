// The trace channel: every hop through the link hooks reported as one datagram to a debugger on
// this machine, which holds the hop until it sends a command back. This part is platform-free:
// the datagram layouts, the wait for a command and the switch that turns the channel on. The
// socket behind it is a TTraceTransport (the Winsock one lives in runtime/trace_socket_win32.cpp).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/link.h"

namespace fliran {

// Report datagram: type, link id, kind, tag (four little-endian 32-bit words), then the payload.
inline constexpr std::uint32_t kTraceReportType = 3;
// Continue-acknowledge datagram: type, link id.
inline constexpr std::uint32_t kTraceAcknowledgeType = 4;
inline constexpr std::size_t kTraceHeaderSize = 16;
inline constexpr std::size_t kTracePayloadSize = 128;
// Longest text sent: the rest of the payload holds the zero byte.
inline constexpr std::size_t kTraceTextLimit = kTracePayloadSize - 1;

// The kinds of hop.
enum : std::uint8_t {
  TraceKindEvent = 2,      // an input is about to be called with the value
  TraceKindPulled = 3,     // a value method has been called; the value is what it gave
  TraceKindPull = 4,       // a value method is about to be called
};

// Commands from the debugger (first word); the second word is the link id they are for.
enum : std::uint32_t {
  TraceCommandContinue = 1,
  TraceCommandStop = 2,
};
inline constexpr std::uint32_t kTraceAnyLink = 0xFFFFFFFF;

struct TTraceDatagram {
  std::array<std::uint8_t, kTraceHeaderSize + kTracePayloadSize> Bytes{};
  std::size_t Length = kTraceHeaderSize;
};

// The report of one hop. Payload by tag: integer 4 bytes (20 sent), real 8 bytes (24), text up
// to 127 bytes and a zero byte (16 + min(n, 128) sent: a text of up to 127 bytes goes without
// its zero byte); the object kinds and everything else send the header only (16).
TTraceDatagram EncodeReport(std::uint8_t kind, const TKvorn_Event& e, const TData& d);
std::array<std::uint8_t, 8> EncodeAcknowledge(std::uint32_t linkId);

inline void PutWord(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline std::uint32_t GetWord(const std::uint8_t* at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
  return value;
}

struct TTraceCommand {
  std::uint32_t Command = 0;
  std::uint32_t LinkId = 0;
};

// The socket seen by the channel.
class TTraceTransport {
 public:
  virtual ~TTraceTransport() = default;
  // Sends one datagram to the debugger; failures go unnoticed.
  virtual void Send(const std::uint8_t* bytes, std::size_t length) = 0;
  // Waits up to half a millisecond for a datagram from the debugger and answers whether one
  // came; its first 8 bytes are the command (missing bytes read as zero).
  virtual bool Receive(TTraceCommand* command) = 0;
};

// Turns the channel on over transport (which must outlive it): TraceReport becomes ReportHop
// and, if dispatch is on, the reporting dispatchers are installed.
void StartTracing(TTraceTransport* transport);
// Turns the channel off for good: the plain dispatchers replace the reporting ones and no hop is
// reported any more, even by a dispatcher that is running now.
void StopTracing();
bool TracingOn();

// The channel's report of one hop (the TraceReport while the channel is on): sends the report,
// waits until the debugger continues this hop (command 1 for its link id or for any link) or
// stops tracing (command 2), then sends the acknowledge. Any other command is dropped and the
// wait goes on, so a stray datagram cannot hold the hop for good.
void ReportHop(std::uint8_t kind, const TKvorn_Event& e, const TData& d);

// The switch: FLIRAN_TRACE must be exactly "1"; then FLIRAN_TRACE_PORT names the debugger's
// UDP port, a decimal 1..65535, or 120 when it is unset. Null texts stand for unset variables.
// Answers the port, or nothing when tracing stays off. Any other port text (empty, "0", "5120x",
// "99999") keeps tracing off rather than guess a port where no debugger answers and the panel
// would wait at its first hop for good; problem (if given) then says why, naming the variable
// and its value, and stays empty otherwise.
inline constexpr std::uint16_t kTraceDefaultPort = 120;
std::optional<std::uint16_t> TracePortFromSwitch(const char* trace, const char* port, std::string* problem = nullptr);

}  // namespace fliran
