// TData setters and conversions.
#include "runtime/data.h"

#include <utility>

#include "runtime/convert.h"

namespace fliran {

void MakeInt(TData* d, std::int32_t value) {
  d->Tag = TagInt;
  d->IntValue = value;
  d->ForwardTo = nullptr;
  d->Next = nullptr;
}

void MakeStr(TData* d, std::string value) {
  d->Tag = TagStr;
  d->StrValue = std::move(value);
  d->ForwardTo = nullptr;
  d->Next = nullptr;
}

void MakeReal(TData* d, double value) {
  d->Tag = TagReal;
  d->RealValue = value;
  d->ForwardTo = nullptr;
  d->Next = nullptr;
}

void MakeNull(TData* d) {
  d->Tag = TagEmpty;
  d->ForwardTo = nullptr;
  d->Next = nullptr;
}

void ForwardNull(TData* d, const TKvorn_Event& e) {
  d->Tag = ForwardBit | TagEmpty;
  d->ForwardTo = &e;
}

void ForwardInt(TData* d, const TKvorn_Event& e, std::int32_t value) {
  d->Tag = ForwardBit | TagInt;
  d->IntValue = value;
  d->Next = nullptr;
  d->ForwardTo = &e;
}

void ForwardStr(TData* d, const TKvorn_Event& e, std::string value) {
  d->Tag = ForwardBit | TagStr;
  d->StrValue = std::move(value);
  d->Next = nullptr;
  d->ForwardTo = &e;
}

std::int32_t ToInteger(const TData& d) {
  switch (d.Tag) {
    case TagInt: return d.IntValue;
    case TagStr: return TextToInt(d.StrValue);
    case TagReal: return RealToInteger(d.RealValue);
    default: return 0;
  }
}

std::int32_t ToIntegerOrMinus1(const TData& d) {
  switch (d.Tag) {
    case TagInt: return d.IntValue;
    case TagStr: {
      const std::int32_t n = TextToInt(d.StrValue);
      if (!d.StrValue.empty() && (n != 0 || d.StrValue[0] == '0')) return n;
      return -1;
    }
    case TagReal: return RealToInteger(d.RealValue);
    default: return -1;
  }
}

double ToReal(const TData& d) {
  switch (d.Tag) {
    case TagInt: return d.IntValue;
    case TagStr: return TextToReal(d.StrValue);
    case TagReal: return d.RealValue;
    default: return 0.0;
  }
}

std::string ToString(const TData& d) {
  switch (d.Tag) {
    case TagInt: return IntToText(d.IntValue);
    case TagStr: return d.StrValue;
    case TagReal: return RealToText(d.RealValue);
    default: return {};
  }
}

}  // namespace fliran
