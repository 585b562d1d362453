// The trace debugger's command line, answers, panel sender and closing line.
#include "tools/trace_debugger/session.h"

#include <algorithm>
#include <cstdio>

#include "scheme/elements.h"
#include "scheme/links.h"

namespace fliran::debugger {

namespace {

constexpr const char* kSeeHelp = "; see trace_debugger --help";

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// A decimal 0..65535, nothing else.
std::optional<unsigned> PortOf(std::string_view text) {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > 65535) return std::nullopt;
  return value;
}

// Why name cannot filter hops ("\"Nope\" is no element of the panel; the elements with links
// are: ..."), or the empty text when it can.
std::string ElementError(const std::string& name) {
  const std::vector<std::string_view> names = PanelElements();
  if (std::binary_search(names.begin(), names.end(), std::string_view(name))) return {};
  // The form, the labels and the picture are elements too, but no link touches them.
  std::string error = Quoted(name) +
                      (IsPanelElement(name) ? " has no links, so no hop comes from or to it"
                                            : " is no element of the panel") +
                      "; the elements with links are:";
  for (std::string_view known : names) error += " " + std::string(known);
  return error;
}

}  // namespace

std::vector<std::string_view> PanelElements() {
  std::vector<std::string_view> names;
  for (const TPanelLink& link : kPanelLinks) {
    names.push_back(link.Source);
    names.push_back(link.Target);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::string ParseOptions(const std::vector<std::string>& args, TOptions* options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--help" || arg == "-h") {
      options->Help = true;
    } else if (arg == "--run") {
      options->Run = true;
    } else if (arg == "--time") {
      options->Time = true;
    } else if (arg == "--summary") {
      options->Summary = true;
    } else if (arg == "--dot") {
      if (!hasValue || args[i + 1].empty()) return "--dot needs a file name" + std::string(kSeeHelp);
      options->DotFile = args[++i];
    } else if (arg == "--port") {
      if (!hasValue) return "--port needs a port number" + std::string(kSeeHelp);
      const std::optional<unsigned> port = PortOf(args[++i]);
      if (!port) return "--port " + Quoted(args[i]) + " is not a port (0 to 65535)" + kSeeHelp;
      options->Port = *port;
    } else if (arg == "--web") {
      options->Web = true;
      // The port is optional: a next argument that is no option is it.
      if (hasValue && !args[i + 1].empty() && args[i + 1][0] != '-') {
        const std::optional<unsigned> port = PortOf(args[++i]);
        if (!port) return "--web " + Quoted(args[i]) + " is not a port (0 to 65535)" + kSeeHelp;
        options->WebPort = *port;
      }
    } else if (arg == "--element") {
      if (!hasValue) return "--element needs an element name" + std::string(kSeeHelp);
      const std::string& name = args[++i];
      if (std::string error = ElementError(name); !error.empty()) return "--element " + error;
      options->Elements.push_back(name);
    } else {
      return "unknown option " + Quoted(arg) + kSeeHelp;
    }
  }
  return {};
}

std::string HelpText() {
  return "usage: trace_debugger [--port N] [--web [PORT]] [--run] [--element NAME]... [--time] [--summary]\n"
         "                      [--dot FILE]\n"
         "\n"
         "Shows every hop of a value through the panel's links, one line per hop, and holds the\n"
         "panel before each hop until it is let go on. Start it first, then the panel with\n"
         "FLIRAN_TRACE=1 (and FLIRAN_TRACE_PORT=N when the port is not 120).\n"
         "\n"
         "  --port N        listen on UDP port N of 127.0.0.1 (default 120; 0: any free port,\n"
         "                  named on the first line); the panel's FLIRAN_TRACE_PORT must match.\n"
         "                  On Linux ports below 1024 need root: use one of 1024 or above\n"
         "  --web [PORT]    also show the hops live on the picture of the scheme, in a web page\n"
         "                  served on http://127.0.0.1:PORT/ (default 8120; 0: any free port,\n"
         "                  named on the second line), with buttons for the answers and the\n"
         "                  filter; the terminal works as before. Not in the Windows build\n"
         "  --run           run freely: show every hop and let it go on at once\n"
         "  --element NAME  show and hold only the hops from or to this element, named as in\n"
         "                  scheme/links.h; the others go on at once, unshown but counted. May\n"
         "                  be given more than once; a name the panel lacks is refused with the\n"
         "                  list of names\n"
         "  --time          put the seconds since the first hop before each line\n"
         "  --summary       at the end, count the hops per link (all that came, shown or not;\n"
         "                  a pull and the value it gave count once), in the order first taken\n"
         "  --dot FILE      at the end, write the panel's scheme as a Graphviz graph to FILE with\n"
         "                  those counts on its links (render: dot -Tsvg FILE -o scheme.svg)\n"
         "  --help          show this text\n"
         "\n"
         "While a hop is held (without --run), answer with a line:\n"
         "  Enter           let this hop go on and hold the next\n"
         "  r Enter         run freely from here\n"
         "  s Enter         stop tracing and quit: the panel goes on untraced\n"
         "  q Enter         the same as s\n"
         "Anything else asks again. What was typed before a hop was shown is dropped, so an extra\n"
         "Enter never lets an unseen hop go on. Ctrl-C, or the end of the input, stops tracing too.\n"
         "The page's buttons Step, Run and Stop answer the same way; Step while running holds the\n"
         "next hop.\n"
         "\n"
         "Only the first program that reports is followed: datagrams from any other are ignored.\n"
         "At the end a line tells how many hops came and how many of them were shown.\n";
}

TAnswer ReadAnswer(std::string_view line) {
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return TAnswer::Step;
  line = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
  if (line == "r") return TAnswer::Run;
  if (line == "s" || line == "q") return TAnswer::Stop;
  return TAnswer::Again;
}

TStepper::TTurn TStepper::Hop(const THop& hop) {
  TTurn turn;
  bool wanted = elements_.empty();
  for (const std::string& element : elements_) wanted = wanted || HopConcerns(hop, element);
  if (!wanted) {
    turn.Continue = hop.LinkId;
    return turn;
  }
  turn.Shown = true;
  if (running_) {
    turn.Continue = kTraceAnyLink;
  } else {
    held_ = hop;
  }
  return turn;
}

TStepper::TTurn TStepper::Answer(TAnswer answer) {
  TTurn turn;
  switch (answer) {
    case TAnswer::Stop:
      turn.Stop = true;
      held_.reset();
      break;
    case TAnswer::Step:
      if (held_) {
        turn.Continue = held_->LinkId;
        held_.reset();
      } else {
        running_ = false;
      }
      break;
    case TAnswer::Run:
      running_ = true;
      if (held_) {
        turn.Continue = kTraceAnyLink;
        held_.reset();
      }
      break;
    case TAnswer::Again:
      break;
  }
  return turn;
}

std::string TStepper::SetElements(std::vector<std::string> elements) {
  for (const std::string& name : elements) {
    if (std::string error = ElementError(name); !error.empty()) return error;
  }
  std::sort(elements.begin(), elements.end());
  elements.erase(std::unique(elements.begin(), elements.end()), elements.end());
  elements_ = std::move(elements);
  return {};
}

std::string SenderText(const TSender& sender) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", sender.Address >> 24, (sender.Address >> 16) & 0xFF,
                (sender.Address >> 8) & 0xFF, sender.Address & 0xFF, static_cast<unsigned>(sender.Port));
  return text;
}

bool TSenderFilter::Accept(const TSender& from, bool report, std::string* note) {
  note->clear();
  if (!panel_) {
    // Only a report names the panel; anything else before it says nothing anyway.
    if (report) panel_ = from;
    return true;
  }
  if (from == *panel_) return true;
  if (!noted_) {
    noted_ = true;
    *note = "trace_debugger: ignoring " + SenderText(from) + " and any other sender: only the panel at " +
            SenderText(*panel_) + ", the first to report, is followed";
  }
  return false;
}

std::string SummaryLine(long long shown, long long all, double seconds) {
  if (all == 0) return "no hop came";
  std::string line = std::to_string(shown) + " of " + std::to_string(all) + (all == 1 ? " hop" : " hops") + " shown";
  if (all == 1) return line;
  char time[64];
  std::snprintf(time, sizeof time, ", %.3f s from the first to the last", seconds);
  return line + time;
}

void THopTally::Count(const THop& hop) {
  if (hop.Kind == TraceKindPulled) return;
  if (hop.Link != nullptr) ++perLink_[hop.Link->Number - 1];
  for (TEntry& entry : entries_) {
    if (entry.Hop.LinkId == hop.LinkId) {
      ++entry.Count;
      return;
    }
  }
  entries_.push_back({hop, 1});
}

std::uint64_t THopTally::CountOf(std::uint32_t linkId) const {
  for (const TEntry& entry : entries_) {
    if (entry.Hop.LinkId == linkId) return entry.Count;
  }
  return 0;
}

std::string THopTally::Summary() const {
  if (entries_.empty()) return {};
  std::string text = "hops per link, in the order first taken:\n";
  for (const TEntry& entry : entries_) {
    char count[32];
    std::snprintf(count, sizeof count, "%6llu  ", static_cast<unsigned long long>(entry.Count));
    text += count + LinkText(entry.Hop) + "\n";
  }
  return text;
}

std::string ListenFailureText(unsigned port, TListenFailure failure, std::string_view reason) {
  std::string text = "trace_debugger: cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::string(reason);
  switch (failure) {
    case TListenFailure::Denied:
      text += "\n  ports below 1024 need root on Linux";
      break;
    case TListenFailure::InUse:
      text += "\n  another program (another debugger?) listens there";
      break;
    case TListenFailure::Other:
      break;
  }
  return text + "\n  take another port N, of 1024 or above: trace_debugger --port N, and start the panel with "
                "FLIRAN_TRACE_PORT=N";
}

}  // namespace fliran::debugger
