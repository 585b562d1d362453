// The trace debugger's decisions, apart from its sockets and terminal: the command line and its
// help, the answers while stepping, which sender is the panel, and the closing line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/trace.h"
#include "tools/scheme_picture/scheme_dot.h"
#include "tools/trace_debugger/hop_line.h"

namespace fliran::debugger {

struct TOptions {
  unsigned Port = kTraceDefaultPort;  // the panel's FLIRAN_TRACE_PORT; 0: any free port
  bool Run = false;
  bool Time = false;
  bool Help = false;
  bool Summary = false;  // end with the hops per link
  std::string DotFile;   // end by writing the scheme with the hops per link there
  std::vector<std::string> Elements;
};

// Reads the arguments after the program name into options. Answers the error for the user
// (an unknown option, a missing or bad value, an element the panel does not have), or the empty
// text when they are fine.
std::string ParseOptions(const std::vector<std::string>& args, TOptions* options);

// What --help prints.
std::string HelpText();

// The names of the elements in the panel's link table, in alphabetical order.
std::vector<std::string_view> PanelElements();

// An answer typed while a hop is held, read without the spaces around it.
enum class TAnswer {
  Step,   // Enter: this hop goes on
  Run,    // "r": run freely from here
  Stop,   // "s" or "q": stop tracing and quit
  Again,  // anything else: ask again
};
TAnswer ReadAnswer(std::string_view line);
// Printed for an answer that is none of these.
inline constexpr const char* kAskAgain = "answer Enter (go on), r (run freely) or s (stop tracing and quit)";

// Who sent a datagram: an IPv4 address and a UDP port, both in host order.
struct TSender {
  std::uint32_t Address = 0;
  std::uint16_t Port = 0;
  bool operator==(const TSender&) const = default;
};
// "127.0.0.1:5120".
std::string SenderText(const TSender& sender);

// The debugger follows one panel: the sender of the first report. From then on the datagrams of
// any other sender are not read, so a stray or forged report can neither be shown nor divert the
// commands, which go to the panel alone.
class TSenderFilter {
 public:
  // Whether to read a datagram from `from` (report: whether it is a hop report). The first time
  // a datagram is refused, note says so for the user.
  bool Accept(const TSender& from, bool report, std::string* note);
  const std::optional<TSender>& Panel() const { return panel_; }

 private:
  std::optional<TSender> panel_;
  bool noted_ = false;
};

// The closing line: how many hops came and how many of them were shown (the others went on
// unseen because of --element), and the time from the first to the last.
std::string SummaryLine(long long shown, long long all, double seconds);

// The hops of a session per link, for --summary and --dot: every hop that came counts, shown or
// not; a pull counts once (the report of the value it gave belongs to it).
class THopTally {
 public:
  void Count(const THop& hop);
  // Per row of the link table, for the scheme picture (ids the panel lacks are not in it).
  const THopCounts& PerLink() const { return perLink_; }
  // "hops per link, ...:" and a line per link that carried any, in the order they were first
  // taken ("     2  0x01531200 SliderEyes.outPosition -> JoinEyes.inJoin"); empty when no
  // hop came.
  std::string Summary() const;

 private:
  struct TEntry {
    THop Hop;  // the first hop over the link
    std::uint64_t Count = 0;
  };
  std::vector<TEntry> entries_;
  THopCounts perLink_{};
};

// Why the debugger cannot listen on 127.0.0.1:port, and what to do about it.
enum class TListenFailure { Denied, InUse, Other };
std::string ListenFailureText(unsigned port, TListenFailure failure, std::string_view reason);

}  // namespace fliran::debugger
