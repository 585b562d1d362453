// TKvornHub: fires all of its outputs, in order, each with its own copy of the value received.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/debug.h"
#include "runtime/link.h"

namespace fliran {

class TKvornHub : public TDebug {
 public:
  std::uint8_t OutCount = 0;  // outputs fired
  std::uint8_t InCount = 0;   // inputs the scheme may link to; no run-time effect
  std::vector<TKvorn_Event> outEvent;

  // Resizes outEvent (new entries unconnected) and keeps the count's low 8 bits in OutCount.
  void SetOutCount(std::uint16_t count);

  // Each output gets a fresh copy, and its whole chain completes before the next output fires.
  void inEvent(TData* d, std::uint16_t index);
};

}  // namespace fliran
