// TDebug, the base of every element. Its construction makes sure the process-wide trace socket
// exists; the socket itself belongs to the trace channel, which installs its opener below.
#pragma once

namespace fliran {

// Called once, at the construction of the first element, to create the trace socket. Null in
// builds without a trace channel (the native core): then nothing is opened.
using TTraceSocketOpener = void (*)();
extern TTraceSocketOpener TraceSocketOpener;

class TDebug {
 public:
  TDebug();
  virtual ~TDebug() = default;

  // Links hold the addresses of an element's points and outputs, so elements never move.
  TDebug(const TDebug&) = delete;
  TDebug& operator=(const TDebug&) = delete;
};

// Whether the first element's construction has already tried to create the trace socket
// (it is tried once per process, successful or not).
bool TraceSocketAttempted();

}  // namespace fliran
