// The hooks' idle and dispatching forms and the read helpers.
#include "runtime/link.h"

#include <utility>

namespace fliran {

TDispatchHooks DispatchHooks = kIdleHooks;
TTraceReport TraceReport = nullptr;

void IdleFire(const TKvorn_Event*, TData*) {}
void IdleRead(const TKvorn_Event*, TData*) {}
void DispatchEvent(const TKvorn_Event* e, TData* d) { detail::RunEvent<false>(e, d); }
void DispatchRead(const TKvorn_Event* e, TData* d) { detail::RunRead<false>(e, d); }
void TracingDispatchEvent(const TKvorn_Event* e, TData* d) { detail::RunEvent<true>(e, d); }
void TracingDispatchRead(const TKvorn_Event* e, TData* d) { detail::RunRead<true>(e, d); }

void ConsumeValue(TData* d) {
  if (d->Next != nullptr) {
    TData next = *d->Next;  // copied first: Next may point into memory that d's copy releases
    *d = std::move(next);
  } else {
    d->Tag = TagEmpty;
  }
}

namespace {

// The common steps of ReadString, ReadInteger and ReadReal; convert turns a value into the
// result, isEmpty tells whether the default counts as given.
template <class Result, class Convert>
Result ReadWithDefault(TData* d, const TKvorn_Event& e, const Result& defaultValue, bool defaultIsEmpty,
                       Convert convert) {
  if (e.Connected()) {
    TData linked;
    ReadLink(&e, &linked);
    if (linked.Tag != TagAbsent) return convert(linked);
  }
  if (!defaultIsEmpty) return defaultValue;
  if (d->Tag != TagEmpty) {
    Result result = convert(*d);
    ConsumeValue(d);
    return result;
  }
  return defaultValue;
}

}  // namespace

std::string ReadString(TData* d, const TKvorn_Event& e, const std::string& defaultValue) {
  return ReadWithDefault(d, e, defaultValue, defaultValue.empty(),
                         [](const TData& v) { return ToString(v); });
}

std::int32_t ReadInteger(TData* d, const TKvorn_Event& e, std::int32_t defaultValue) {
  return ReadWithDefault(d, e, defaultValue, defaultValue == 0, [](const TData& v) { return ToInteger(v); });
}

double ReadReal(TData* d, const TKvorn_Event& e, double defaultValue) {
  return ReadWithDefault(d, e, defaultValue, defaultValue == 0.0, [](const TData& v) { return ToReal(v); });
}

TData ReadData(TData* d, const TKvorn_Event& e, const TData* defaultValue) {
  if (e.Connected()) {
    TData linked;
    ReadLink(&e, &linked);
    linked.Next = nullptr;
    if (linked.Tag != TagAbsent) return linked;
  }
  if (defaultValue != nullptr && defaultValue->Tag != TagEmpty) return *defaultValue;
  TData result = *d;
  result.Next = nullptr;
  if (d->Tag == TagEmpty) d->Next = nullptr;
  ConsumeValue(d);
  return result;
}

std::int32_t ReadLinkInteger(const TKvorn_Event& e) {
  TData linked;
  if (e.Connected()) ReadLink(&e, &linked);
  return ToInteger(linked);
}

void ReadLinkData(const TKvorn_Event& e, TData* out) {
  if (e.Connected()) {
    ReadLink(&e, out);
  } else {
    out->Tag = TagAbsent;
  }
}

}  // namespace fliran
