// TDebug construction: the one-time trace socket creation.
#include "runtime/debug.h"

namespace fliran {

TTraceSocketOpener TraceSocketOpener = nullptr;

namespace {
bool socketAttempted = false;
}  // namespace

TDebug::TDebug() {
  if (socketAttempted) return;
  socketAttempted = true;
  if (TraceSocketOpener != nullptr) TraceSocketOpener();
}

bool TraceSocketAttempted() { return socketAttempted; }

}  // namespace fliran
