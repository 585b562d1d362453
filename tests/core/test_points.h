// Small elements for tests: a recorder input, a value source, a forwarding relay, and a fixture
// that switches dispatch on for one test and off again afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/debug.h"
#include "runtime/link.h"

namespace fliran::testing {

// Records every value fired into it (a copy, and the address it arrived at).
struct Recorder : TDebug {
  std::vector<TData> values;
  std::vector<const TData*> addresses;
  std::vector<std::uint16_t> indexes;
  std::function<void(TData*)> onValue;  // optional extra action, run after recording

  void inValue(TData* d, std::uint16_t index) {
    values.push_back(*d);
    addresses.push_back(d);
    indexes.push_back(index);
    if (onValue) onValue(d);
  }
  TKvorn_Event Link(std::uint16_t index = 0, std::uint32_t id = 0) {
    return MakeEvent<&Recorder::inValue>(this, index, id);
  }
};

// A value point that yields a fixed value and counts how often it was read.
struct ValueSource : TDebug {
  TData value;
  int reads = 0;

  void valValue(TData* d, std::uint16_t) {
    ++reads;
    *d = value;
  }
  TKvorn_Event Link(std::uint16_t index = 0, std::uint32_t id = 0) {
    return MakeEvent<&ValueSource::valValue>(this, index, id);
  }
};

// Forwards every value it receives to `out` as the integer `forwardValue`.
struct IntRelay : TDebug {
  TKvorn_Event out;
  std::int32_t forwardValue = 0;
  int calls = 0;

  void inValue(TData* d, std::uint16_t) {
    ++calls;
    ForwardInt(d, out, forwardValue);
  }
  TKvorn_Event Link(std::uint16_t index = 0) { return MakeEvent<&IntRelay::inValue>(this, index, 0); }
};

inline TData IntValue(std::int32_t v) {
  TData d;
  MakeInt(&d, v);
  return d;
}
inline TData StrValue(std::string s) {
  TData d;
  MakeStr(&d, std::move(s));
  return d;
}
inline TData RealValue(double r) {
  TData d;
  MakeReal(&d, r);
  return d;
}

class WithDispatch : public ::testing::Test {
 protected:
  void SetUp() override { EnableDispatch(); }
  void TearDown() override {
    DisableDispatch();
    TraceReport = nullptr;
  }
};

}  // namespace fliran::testing
