// The trace debugger's web view (--web): one page, served on 127.0.0.1 only, with the picture of
// the scheme on which every hop lights its link and writes its value, the last hops, the hops per
// link, and buttons for the answers and the element filter. Hops are pushed to the page as
// Server-Sent Events. The page's buttons do not decide anything here: they are handed to the
// debugger's main loop (TakeControls), which answers them at the same place as the lines typed
// in the terminal.
//
// Only a page this server handed out can use it: requests must name it as 127.0.0.1:PORT or
// localhost:PORT in their Host header (a site that rebinds its own name to 127.0.0.1 cannot read
// or drive it), and the event stream and the controls need a random token that only the served
// page holds (another local page cannot step or stop the panel).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/trace_debugger/session.h"

namespace fliran::debugger {

// What the page asked for: an answer, or a new element filter.
struct TWebControl {
  std::optional<TAnswer> Answer;
  std::optional<std::vector<std::string>> Elements;
};

// A hop as the page shows it.
struct TWebHop {
  THop Hop;
  double Seconds = 0;    // since the first hop, as --time prints it
  std::string Line;      // the terminal's line
  std::string Value;     // "int 126", "str "126\n""; empty for a pull about to be made
  bool Shown = false;    // unshown hops (--element) only count
  std::uint64_t Count = 0;  // hops over its link so far, as --summary counts them
};

class TWebView {
 public:
  // Listens on 127.0.0.1:port (0: a free port); Open() tells whether it does, Error() why not.
  explicit TWebView(unsigned port);
  ~TWebView();
  TWebView(const TWebView&) = delete;
  TWebView& operator=(const TWebView&) = delete;

  bool Open() const;
  const std::string& Error() const;
  // "http://127.0.0.1:8120/".
  std::string Url() const;

  // A file descriptor that becomes readable when the page has sent controls.
  int WakeHandle() const;
  // The controls the page sent since the last call, oldest first.
  std::vector<TWebControl> TakeControls();

  // What the page shows: a hop that came, the state after it or after an answer (running, the
  // held hop, the filter), and the end of the session with its closing line. After End the page
  // gets no more events and its stream ends.
  void Hop(const TWebHop& hop);
  void State(const TStepper& stepper);
  void End(const std::string& closing);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace fliran::debugger
