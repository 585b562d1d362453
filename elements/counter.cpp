// TKvornCounter stepping.
#include "elements/counter.h"

namespace fliran {

namespace {

// 32-bit wrap-around done in unsigned arithmetic, where it is defined.
std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t WrappingSubtract(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace

void TKvornCounter::inNext(TData* d, std::uint16_t) {
  if (Direction == 0) {
    Value = WrappingAdd(Value, Step);
    if (Value > Max) Value = Min;
  } else {
    Value = WrappingSubtract(Value, Step);
    if (Value < Min) Value = Max;
  }
  ForwardInt(d, outCount, Value);
}

void TKvornCounter::inReset(TData*, std::uint16_t) { Value = Direction == 0 ? Min : Max; }

}  // namespace fliran
