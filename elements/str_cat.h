// TKvornStrCat: joins two texts and fires the result.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/debug.h"
#include "runtime/link.h"

namespace fliran {

class TKvornStrCat : public TDebug {
 public:
  std::string Result;  // the last joined text
  std::string First;   // default for the first part ("" takes the input value)
  std::string Second;  // default for the second part

  TKvorn_Event dataSecond;
  TKvorn_Event dataFirst;
  TKvorn_Event outJoined;

  // Fires First + Second through outJoined by forwarding the value it was given.
  void inJoin(TData* d, std::uint16_t index);
};

}  // namespace fliran
