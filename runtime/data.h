// TData, the tagged value carried by every link, with its setters and conversions.
#pragma once

#include <cstdint>
#include <string>

namespace fliran {

struct TKvorn_Event;

// Kinds of value. Bit 0x80 marks a value that the dispatcher must fire on through ForwardTo;
// only 0x80, 0x81 and 0x82 (forwarded empty, integer, string) are ever produced.
enum : std::uint8_t {
  TagEmpty = 0,
  TagInt = 1,
  TagStr = 2,
  TagReal = 7,
  TagStream = 10,   // object kinds: only the trace channel describes them
  TagDims = 11,
  TagNamed = 22,
  TagAbsent = 21,   // a value method or pull had nothing to give; never fired
  ForwardBit = 0x80,
};

// The fields do not overlap: each kind of value has its own field, and setting one kind leaves
// the others as they were.
struct TData {
  std::uint8_t Tag = TagEmpty;
  std::int32_t IntValue = 0;
  std::string StrValue;
  double RealValue = 0.0;
  const TKvorn_Event* ForwardTo = nullptr;
  TData* Next = nullptr;  // chain of values; nothing here builds chains but reads honour them
};

void MakeInt(TData* d, std::int32_t value);
void MakeStr(TData* d, std::string value);
void MakeReal(TData* d, double value);
void MakeNull(TData* d);

// Mark d to be fired on through link e once the current input returns (see DispatchEvent).
// ForwardNull keeps Next; the other two clear it.
void ForwardNull(TData* d, const TKvorn_Event& e);
void ForwardInt(TData* d, const TKvorn_Event& e, std::int32_t value);
void ForwardStr(TData* d, const TKvorn_Event& e, std::string value);

// Conversions look at the whole tag, so a value still carrying the forward bit converts like an
// unknown kind (0, -1, 0.0 or "").
std::int32_t ToInteger(const TData& d);
std::int32_t ToIntegerOrMinus1(const TData& d);  // -1 where there is no number at all
double ToReal(const TData& d);
std::string ToString(const TData& d);

inline bool IsInteger(const TData& d) { return d.Tag == TagInt; }

}  // namespace fliran
