// TKvornStrCat joining.
#include "elements/str_cat.h"

namespace fliran {

void TKvornStrCat::inJoin(TData* d, std::uint16_t) {
  // The first part is read first: unlinked with an empty First it takes (and consumes) the
  // incoming value, so the second part falls back to Second.
  std::string first = ReadString(d, dataFirst, First);
  const std::string second = ReadString(d, dataSecond, Second);
  Result = std::move(first);
  Result += second;
  ForwardStr(d, outJoined, Result);
}

}  // namespace fliran
