// The start procedures.
#include "runtime/start_procs.h"

#include <vector>

namespace fliran {

namespace {
std::vector<TStartProc>& StartProcs() {
  static std::vector<TStartProc> procs;
  return procs;
}
}  // namespace

void AddStartProc(TStartProc proc) { StartProcs().push_back(proc); }

void RunStartProcs() {
  std::vector<TStartProc>& procs = StartProcs();
  // The size is read again before each call: a procedure may add another, which runs in this
  // same pass. Entries are copied out before the call because adding may move the array.
  for (std::size_t i = 0; i < procs.size(); ++i) {
    const TStartProc proc = procs[i];
    if (proc) proc();
  }
  procs.clear();
  procs.shrink_to_fit();
}

void RemoveStartProcs(const void* object) {
  std::erase_if(StartProcs(), [object](const TStartProc& proc) { return proc.Object == object; });
}

std::size_t StartProcCount() { return StartProcs().size(); }

}  // namespace fliran
