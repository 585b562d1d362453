// The trace debugger's decisions, apart from its sockets and terminal: the command line and its
// help, the answers while stepping, which sender is the panel, and the closing line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/trace.h"
#include "tools/scheme_picture/scheme_dot.h"
#include "tools/trace_debugger/hop_line.h"

namespace fliran::debugger {

// The web view's TCP port on 127.0.0.1 when --web names none.
inline constexpr unsigned kWebDefaultPort = 8120;

struct TOptions {
  unsigned Port = kTraceDefaultPort;  // the panel's FLIRAN_TRACE_PORT; 0: any free port
  bool Web = false;                   // serve the live picture of the scheme
  unsigned WebPort = kWebDefaultPort;  // its TCP port on 127.0.0.1; 0: any free port
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

// The one place where hops meet answers: the lines typed in the terminal and the buttons of the
// web page both come here, so Enter and Step, r and Run, s and Stop do the same. It knows whether
// the session runs freely, which elements are shown and which hop the panel waits at.
class TStepper {
 public:
  TStepper(bool run, std::vector<std::string> elements) : running_(run), elements_(std::move(elements)) {}

  // What the debugger does next: show the hop or not, and what to tell the panel.
  struct TTurn {
    bool Shown = false;                     // the hop is shown (a terminal line, a lit link)
    std::optional<std::uint32_t> Continue;  // let the panel go on: for this link id, or kTraceAnyLink
    bool Stop = false;                      // stop tracing and end the session
  };

  // A hop came. Hops from and to no element of the filter go on at once, unshown; a shown hop
  // goes on at once while running, else the panel waits at it until an answer.
  TTurn Hop(const THop& hop);
  // An answer, typed or clicked. Step lets the held hop go on; with no hop held while running it
  // makes the next shown hop wait (the page's way back from running to stepping). Run lets the
  // held hop go on and runs freely; Stop ends the session; Again does nothing.
  TTurn Answer(TAnswer answer);

  bool Running() const { return running_; }
  // The hop the panel waits at.
  const std::optional<THop>& Held() const { return held_; }

  // The elements whose hops are shown (none: all), as --element names them.
  const std::vector<std::string>& Elements() const { return elements_; }
  // Takes a new filter; the error for the user (a name the panel lacks) leaves it as it was.
  std::string SetElements(std::vector<std::string> elements);

 private:
  bool running_;
  std::vector<std::string> elements_;
  std::optional<THop> held_;
};

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
  // The hops over the link so far.
  std::uint64_t CountOf(std::uint32_t linkId) const;
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
