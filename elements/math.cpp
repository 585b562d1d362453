// TKvornMath calculations.
#include "elements/math.h"

#include <functional>
#include <numbers>

#include "runtime/convert.h"

namespace fliran {

template <class Operator>
void TKvornMath::Calculate(TData* d, Operator op) {
  // Op1 is read first: with a zero Op1 and no link it takes (and consumes) the input value, so a
  // zero Op2 then finds the input empty.
  const double a = ReadReal(d, dataOp1, Op1);
  Result = ReadReal(d, dataOp2, Op2);
  Status = 0;
  Result = op(a, Result);
  if (ResultType == 0) {
    FireInt(outResult, RealToInteger(Result));
  } else {
    FireReal(outResult, Result);
  }
}

void TKvornMath::inSubtract(TData* d, std::uint16_t) { Calculate(d, std::minus<double>()); }

void TKvornMath::inAdd(TData* d, std::uint16_t) { Calculate(d, std::plus<double>()); }

void TKvornMath::SetDefault(double value) {
  Default = value;
  Result = value;
  Status = 0;
}

void TKvornMath::SetAngleMode(std::uint8_t mode) { AngleFactor = mode == 0 ? 1.0 : std::numbers::pi / 180.0; }

}  // namespace fliran
