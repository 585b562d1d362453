// The start procedures: run once, in the order added, after the whole scheme is built.
#pragma once

#include <cstddef>

#include "runtime/method.h"

namespace fliran {

// Procedures run once after the scheme is built (the main form adds its own while constructed).
using TStartProc = TMethod<void()>;
void AddStartProc(TStartProc proc);
// Runs every start procedure in the order added, including those added while it runs, then
// empties the list.
void RunStartProcs();
std::size_t StartProcCount();
// Removes every start procedure bound to object, which is going before the procedures run
// (a main form element takes its own back this way when it goes).
void RemoveStartProcs(const void* object);

}  // namespace fliran
