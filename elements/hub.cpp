// TKvornHub fan-out.
#include "elements/hub.h"

#include <algorithm>

namespace fliran {

void TKvornHub::SetOutCount(std::uint16_t count) {
  outEvent.resize(count);
  OutCount = static_cast<std::uint8_t>(count & 0xFFu);
}

void TKvornHub::inEvent(TData* d, std::uint16_t) {
  // OutCount is a public field: never index past the array, whatever it was set to.
  const std::size_t count = std::min<std::size_t>(OutCount, outEvent.size());
  for (std::size_t i = 0; i < count; ++i) FireData(outEvent[i], d);
}

}  // namespace fliran
