// The process-wide identifier counter: gives a zero field the next number, once.
#pragma once

#include <cstdint>

namespace fliran {

inline std::uint32_t IdentifierCounter = 0;

inline void AssignIdentifier(std::uint32_t* field) {
  if (*field == 0) *field = ++IdentifierCounter;
}

}  // namespace fliran
