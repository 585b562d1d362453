// TKvornCounter: a bounded counter that wraps to the opposite bound and fires each new count.
#pragma once

#include <cstdint>

#include "runtime/debug.h"
#include "runtime/link.h"

namespace fliran {

class TKvornCounter : public TDebug {
 public:
  std::int32_t Value = 0;
  std::int32_t Min = 0;
  std::int32_t Max = 0;
  std::int32_t Step = 0;
  std::uint8_t Direction = 0;  // 0 counts up, anything else down

  TKvorn_Event outCount;

  // Steps Value (past Max it becomes Min, below Min it becomes Max) and fires it by forwarding.
  void inNext(TData* d, std::uint16_t index);
  // Back to the start (Min counting up, Max counting down); fires nothing.
  void inReset(TData* d, std::uint16_t index);
};

}  // namespace fliran
