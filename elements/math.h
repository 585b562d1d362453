// TKvornMath: computes Op1 - Op2 or Op1 + Op2 and fires the result as a real or an integer.
#pragma once

#include <cstdint>

#include "runtime/debug.h"
#include "runtime/link.h"

namespace fliran {

class TKvornMath : public TDebug {
 public:
  std::uint8_t Status = 0;      // cleared by SetDefault and by every calculation
  double Result = 0.0;          // the last result, kept between calculations
  double Default = 0.0;         // set through SetDefault
  double AngleFactor = 1.0;     // set through SetAngleMode
  std::uint8_t Unused = 0;      // a setting the scheme writes and nothing reads
  double Op1 = 0.0;             // default for the first operand (0: take the input value)
  double Op2 = 0.0;             // default for the second operand
  std::uint8_t ResultType = 0;  // 0: fire an integer (rounded, ties to even); else a real

  TKvorn_Event outResult;
  TKvorn_Event outSecond;       // never fired
  TKvorn_Event dataOp1;
  TKvorn_Event dataOp2;

  void inSubtract(TData* d, std::uint16_t index);
  void inAdd(TData* d, std::uint16_t index);

  void SetDefault(double value);
  void SetAngleMode(std::uint8_t mode);  // 0: factor 1, else pi/180

 private:
  template <class Operator>
  void Calculate(TData* d, Operator op);
};

}  // namespace fliran
