// Links between elements: the link record, the two process-wide hooks every event and every
// pull passes through, the dispatcher with its forward loop, and the firing and read helpers.
#pragma once

#include <cstdint>
#include <string>

#include "runtime/data.h"

namespace fliran {

// Every input point and value point has this signature: (element, value, point index).
using TPointCode = void (*)(void* element, TData* d, std::uint16_t index);

// A link: the target's code and object, the index handed to it and the link's trace id.
// A null code pointer is an unconnected link; firing or pulling it does nothing.
struct TKvorn_Event {
  TPointCode Code = nullptr;
  void* Object = nullptr;
  std::uint16_t Index = 0;
  std::uint32_t LinkId = 0;

  bool Connected() const { return Code != nullptr; }
};

namespace detail {

template <auto Member>
struct PointThunk;

template <class C, void (C::*Member)(TData*, std::uint16_t)>
struct PointThunk<Member> {
  using Class = C;
  static void Call(void* element, TData* d, std::uint16_t index) {
    (static_cast<C*>(element)->*Member)(d, index);
  }
};

}  // namespace detail

// MakeEvent<&TKvornStrCat::inJoin>(JoinEyes, 0, 0x01530E10): a link to one point of one element.
// A virtual point is still called virtually, so the element's own override is reached.
template <auto Point, class Element>
TKvorn_Event MakeEvent(Element* target, std::uint16_t index, std::uint32_t linkId) {
  using Thunk = detail::PointThunk<Point>;
  using Class = typename Thunk::Class;
  TKvorn_Event e;
  e.Code = &Thunk::Call;
  e.Object = static_cast<void*>(static_cast<Class*>(target));
  e.Index = index;
  e.LinkId = linkId;
  return e;
}

// --- Hooks -------------------------------------------------------------------------------------

using TLinkHook = void (*)(const TKvorn_Event* e, TData* d);

// The pair of hooks; replaced together. Idle (both do nothing) until EnableDispatch and again
// after DisableDispatch, so events fired while the scheme is built or torn down reach nobody.
struct TDispatchHooks {
  TLinkHook Fire;
  TLinkHook Read;
};

void IdleFire(const TKvorn_Event* e, TData* d);
void IdleRead(const TKvorn_Event* e, TData* d);
void DispatchEvent(const TKvorn_Event* e, TData* d);
void DispatchRead(const TKvorn_Event* e, TData* d);
void TracingDispatchEvent(const TKvorn_Event* e, TData* d);
void TracingDispatchRead(const TKvorn_Event* e, TData* d);

inline constexpr TDispatchHooks kIdleHooks{&IdleFire, &IdleRead};
inline constexpr TDispatchHooks kDispatchHooks{&DispatchEvent, &DispatchRead};
inline constexpr TDispatchHooks kTracingHooks{&TracingDispatchEvent, &TracingDispatchRead};

extern TDispatchHooks DispatchHooks;

// The trace channel's report of one hop: kind 2 before an input is called, 4 before and 3 after
// a value method. Null while the channel is off. EnableDispatch installs the reporting forms of
// the hooks only when it is set, so with the channel off a hop pays nothing for it. The reporting
// forms test it before every report, so a report that turns the channel off (the debugger's stop
// arrives in the middle of a hop) is the last one, even from a dispatcher already running.
using TTraceReport = void (*)(std::uint8_t kind, const TKvorn_Event& e, const TData& d);
extern TTraceReport TraceReport;

inline void SetDispatchHooks(const TDispatchHooks& hooks) { DispatchHooks = hooks; }
inline void EnableDispatch() { SetDispatchHooks(TraceReport != nullptr ? kTracingHooks : kDispatchHooks); }
inline void DisableDispatch() { SetDispatchHooks(kIdleHooks); }
inline bool DispatchOn() { return DispatchHooks.Fire != &IdleFire; }

// Installs report (null: none) and, while dispatch is on, the dispatchers that go with it.
inline void SetTraceReport(TTraceReport report) {
  TraceReport = report;
  if (DispatchOn()) EnableDispatch();
}

namespace detail {

// A report from the reporting dispatchers: none once the channel has been turned off.
inline void Report(std::uint8_t kind, const TKvorn_Event& e, const TData& d) {
  if (TraceReport != nullptr) TraceReport(kind, e, d);
}

// The forward loop: while the last target has marked the value with the forward bit, clear the
// bit and call the link it names, in this loop rather than nested.
template <bool Traced>
void RunForwards(TData* d);

// The dispatcher: call the target; a forward set by it continues in the loop above. The first
// hop is written straight so that the common case, an input that does not forward, takes no
// jump but the call itself.
template <bool Traced>
inline void RunEvent(const TKvorn_Event* e, TData* d) {
  if (e->Code == nullptr) [[unlikely]] return;
  if constexpr (Traced) Report(2, *e, *d);
  e->Code(e->Object, d, e->Index);
  if ((d->Tag & ForwardBit) != 0) [[unlikely]] RunForwards<Traced>(d);
}

template <bool Traced>
void RunForwards(TData* d) {
  while ((d->Tag & ForwardBit) != 0) {
    d->Tag = static_cast<std::uint8_t>(d->Tag - ForwardBit);
    const TKvorn_Event* e = d->ForwardTo;
    if (e == nullptr || e->Code == nullptr) return;
    if constexpr (Traced) Report(2, *e, *d);
    e->Code(e->Object, d, e->Index);
  }
}

template <bool Traced>
inline void RunRead(const TKvorn_Event* e, TData* d) {
  if (e->Code == nullptr) return;
  if constexpr (Traced) Report(4, *e, *d);
  e->Code(e->Object, d, e->Index);
  if constexpr (Traced) Report(3, *e, *d);
}

}  // namespace detail

// Fire link e with value d through the current hook. The plain dispatcher is the common case
// and is called directly, so the compiler can inline it and a hop costs one indirect call (the
// target) instead of two; any other hook is called through the pointer.
inline void FireEvent(const TKvorn_Event* e, TData* d) {
  if (DispatchHooks.Fire == &DispatchEvent) [[likely]] {
    detail::RunEvent<false>(e, d);
  } else {
    DispatchHooks.Fire(e, d);
  }
}

inline void ReadLink(const TKvorn_Event* e, TData* d) {
  if (DispatchHooks.Read == &DispatchRead) [[likely]] {
    detail::RunRead<false>(e, d);
  } else {
    DispatchHooks.Read(e, d);
  }
}

// --- Firing helpers: each fires a fresh temporary, released on every path ---------------------

inline void FireInt(const TKvorn_Event& e, std::int32_t value) {
  TData d;
  MakeInt(&d, value);
  FireEvent(&e, &d);
}

inline void FireStr(const TKvorn_Event& e, std::string value) {
  TData d;
  MakeStr(&d, std::move(value));
  FireEvent(&e, &d);
}

inline void FireReal(const TKvorn_Event& e, double value) {
  TData d;
  MakeReal(&d, value);
  FireEvent(&e, &d);
}

inline void FireNull(const TKvorn_Event& e) {
  TData d;
  MakeNull(&d);
  FireEvent(&e, &d);
}

// A full copy of *value is fired (ForwardTo and Next included), so nothing the targets do to it
// reaches the caller's value.
inline void FireData(const TKvorn_Event& e, const TData* value) {
  TData d = *value;
  FireEvent(&e, &d);
}

// The caller's own value is fired: a forward set by the target changes it.
inline void FireDataDirect(const TKvorn_Event& e, TData* value) { FireEvent(&e, value); }

// --- Read helpers ------------------------------------------------------------------------------
// A pull point that is linked yields the linked value (unless the source answers TagAbsent);
// else a non-empty default wins; else the input value d is taken and consumed (replaced by its
// Next, or emptied); else the empty default. Elements rely on the order of their reads: a second
// unlinked pull point with an empty default finds the input already consumed.

std::string ReadString(TData* d, const TKvorn_Event& e, const std::string& defaultValue);
std::int32_t ReadInteger(TData* d, const TKvorn_Event& e, std::int32_t defaultValue);
double ReadReal(TData* d, const TKvorn_Event& e, double defaultValue);
TData ReadData(TData* d, const TKvorn_Event& e, const TData* defaultValue);

// ToInteger of what the link yields; 0 when it is unconnected or the hooks are idle.
std::int32_t ReadLinkInteger(const TKvorn_Event& e);
// The linked value read into *out (not cleared first); TagAbsent when the link is unconnected.
void ReadLinkData(const TKvorn_Event& e, TData* out);

// Consume an input value: its Next (if any) takes its place, else it becomes empty.
void ConsumeValue(TData* d);

}  // namespace fliran
