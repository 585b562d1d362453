// Linked into every program of the sanitized winelib build. Wine runs a program's main thread on a
// stack of its own, not on the Linux stack where AddressSanitizer's runtime met the thread. When
// an exception leaves frames, the runtime clears their stack poisoning up to the top of the stack
// it knows; with the Linux one that range is huge, so it clears nothing, and the next calls run
// into stale poisoning (false reports of stack-buffer-overflow). Wine's stack is given to it here,
// at start-up: static initialisers of a Winelib program already run on that stack.
#include <windows.h>
#include <winternl.h>

#include <sanitizer/common_interface_defs.h>

#include <cstddef>

namespace {

const bool stack_told = [] {
  const TEB* teb = NtCurrentTeb();
  auto* const bottom = static_cast<char*>(teb->DeallocationStack);
  auto* const top = static_cast<char*>(teb->Tib.StackBase);
  // The switch without moving: the thread goes on on the stack it is on, now known by its bounds.
  __sanitizer_start_switch_fiber(nullptr, bottom, static_cast<std::size_t>(top - bottom));
  __sanitizer_finish_switch_fiber(nullptr, nullptr, nullptr);
  return true;
}();

}  // namespace
