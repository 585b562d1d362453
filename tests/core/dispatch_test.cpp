// Links, hooks, the dispatcher's forward loop and the read helpers.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/debug.h"
#include "runtime/font.h"
#include "runtime/ident.h"
#include "runtime/link.h"
#include "runtime/method.h"
#include "test_points.h"

namespace fliran {
namespace {

using testing::IntRelay;
using testing::IntValue;
using testing::Recorder;
using testing::StrValue;
using testing::ValueSource;
using testing::WithDispatch;

TEST(IdleHooks, EventsAndPullsReachNobodyBeforeAndAfterDispatch) {
  Recorder sink;
  const TKvorn_Event link = sink.Link();
  FireInt(link, 1);
  FireStr(link, "x");

  ValueSource source;
  source.value = IntValue(42);
  TData input = IntValue(5);
  // A linked pull while idle yields the empty value, not the default and not the input.
  EXPECT_EQ(ReadString(&input, source.Link(), "default"), "");
  EXPECT_EQ(ReadInteger(&input, source.Link(), 7), 0);
  EXPECT_EQ(input.Tag, TagInt);
  EXPECT_EQ(ReadLinkInteger(source.Link()), 0);

  EnableDispatch();
  FireInt(link, 2);
  DisableDispatch();
  FireInt(link, 3);

  ASSERT_EQ(sink.values.size(), 1u);
  EXPECT_EQ(sink.values[0].IntValue, 2);
  EXPECT_EQ(source.reads, 0);
}

TEST_F(WithDispatch, FiringHelpersDeliverFreshValuesWithTheLinkIndex) {
  Recorder sink;
  FireInt(sink.Link(3), -4);
  FireStr(sink.Link(4), "95\n");
  FireReal(sink.Link(5), 88.0);
  FireNull(sink.Link(6));
  ASSERT_EQ(sink.values.size(), 4u);
  EXPECT_EQ(sink.values[0].Tag, TagInt);
  EXPECT_EQ(sink.values[0].IntValue, -4);
  EXPECT_EQ(sink.values[1].StrValue, "95\n");
  EXPECT_EQ(sink.values[2].Tag, TagReal);
  EXPECT_EQ(sink.values[2].RealValue, 88.0);
  EXPECT_EQ(sink.values[3].Tag, TagEmpty);
  EXPECT_EQ(sink.indexes, (std::vector<std::uint16_t>{3, 4, 5, 6}));
}

TEST_F(WithDispatch, UnconnectedLinksDoNothing) {
  TKvorn_Event unconnected;
  FireInt(unconnected, 1);
  TData d = IntValue(1);
  FireDataDirect(unconnected, &d);
  EXPECT_EQ(d.Tag, TagInt);
}

TEST_F(WithDispatch, ForwardFiresTheSameValueOnWithoutNesting) {
  Recorder sink;
  IntRelay relay;
  relay.out = sink.Link(9);
  relay.forwardValue = 77;
  bool insideRelay = false;
  sink.onValue = [&](TData*) { EXPECT_FALSE(insideRelay) << "the forward must not nest"; };
  struct Guarded : TDebug {
    IntRelay* relay;
    bool* inside;
    void inValue(TData* d, std::uint16_t i) {
      *inside = true;
      relay->inValue(d, i);
      *inside = false;
    }
  } guarded;
  guarded.relay = &relay;
  guarded.inside = &insideRelay;

  TData value = StrValue("in");
  FireDataDirect(MakeEvent<&Guarded::inValue>(&guarded, 0, 0), &value);

  ASSERT_EQ(sink.values.size(), 1u);
  EXPECT_EQ(sink.addresses[0], &value);  // the same TData travels on
  EXPECT_EQ(sink.values[0].Tag, TagInt);  // forward bit removed before the next target
  EXPECT_EQ(sink.values[0].IntValue, 77);
  EXPECT_EQ(sink.indexes[0], 9);
  EXPECT_EQ(value.Tag, TagInt);
}

TEST_F(WithDispatch, ForwardToUnconnectedLinkEndsQuietlyWithoutTheBit) {
  IntRelay relay;  // relay.out unconnected
  relay.forwardValue = 5;
  TData value = IntValue(1);
  FireDataDirect(relay.Link(), &value);
  EXPECT_EQ(relay.calls, 1);
  EXPECT_EQ(value.Tag, TagInt);
  EXPECT_EQ(value.IntValue, 5);
}

TEST_F(WithDispatch, LongForwardChainsRunInTheLoop) {
  // Each relay forwards to the next; with nesting this depth would show in the stack.
  std::vector<IntRelay> relays(5000);
  Recorder sink;
  for (std::size_t i = 0; i + 1 < relays.size(); ++i) {
    relays[i].out = relays[i + 1].Link();
    relays[i].forwardValue = static_cast<std::int32_t>(i + 1);
  }
  relays.back().out = sink.Link();
  relays.back().forwardValue = -1;
  FireInt(relays.front().Link(), 0);
  for (const IntRelay& r : relays) EXPECT_EQ(r.calls, 1);
  ASSERT_EQ(sink.values.size(), 1u);
  EXPECT_EQ(sink.values[0].IntValue, -1);
}

TEST_F(WithDispatch, FireDataCopiesButFireDataDirectLetsTheTargetChangeTheValue) {
  IntRelay relay;
  relay.forwardValue = 8;
  TData original = StrValue("600");
  FireData(relay.Link(), &original);
  EXPECT_EQ(original.Tag, TagStr);
  EXPECT_EQ(original.StrValue, "600");

  FireDataDirect(relay.Link(), &original);
  EXPECT_EQ(original.Tag, TagInt);
  EXPECT_EQ(original.IntValue, 8);
}

TEST_F(WithDispatch, TemporariesAreReleasedWhenATargetThrows) {
  struct Thrower : TDebug {
    void inValue(TData*, std::uint16_t) { throw std::runtime_error("target failed"); }
  } thrower;
  const TKvorn_Event link = MakeEvent<&Thrower::inValue>(&thrower, 0, 0);
  // A long text lives on the heap; the leak checker reports it if the unwinding skips it.
  EXPECT_THROW(FireStr(link, std::string(1000, 'x')), std::runtime_error);
  TData value = StrValue(std::string(1000, 'y'));
  EXPECT_THROW(FireData(link, &value), std::runtime_error);
}

TEST(Hooks, AreReplaceableAsAPair) {
  static std::vector<std::string> calls;
  calls.clear();
  const TDispatchHooks recording{
      [](const TKvorn_Event* e, TData*) { calls.push_back("fire " + std::to_string(e->LinkId)); },
      [](const TKvorn_Event* e, TData* d) {
        calls.push_back("read " + std::to_string(e->LinkId));
        MakeInt(d, 11);
      }};
  Recorder sink;
  ValueSource source;
  SetDispatchHooks(recording);
  FireInt(sink.Link(0, 21), 1);
  TData input;
  const std::int32_t read = ReadInteger(&input, source.Link(0, 22), 0);
  DisableDispatch();

  EXPECT_TRUE(sink.values.empty());
  EXPECT_EQ(source.reads, 0);
  EXPECT_EQ(read, 11);
  EXPECT_EQ(calls, (std::vector<std::string>{"fire 21", "read 22"}));
}

TEST_F(WithDispatch, TraceReportSeesEveryHopInOrder) {
  static std::vector<std::pair<int, std::uint32_t>> reports;
  static std::vector<std::string> values;
  reports.clear();
  values.clear();
  TraceReport = [](std::uint8_t kind, const TKvorn_Event& e, const TData& d) {
    reports.emplace_back(kind, e.LinkId);
    values.push_back(ToString(d));
  };
  EnableDispatch();  // picks the reporting dispatcher now that a report is installed
  Recorder sink;
  IntRelay relay;
  relay.out = sink.Link(0, 0x200);
  relay.forwardValue = 3;
  FireInt(MakeEvent<&IntRelay::inValue>(&relay, 0, 0x100), 1);
  FireInt(TKvorn_Event{}, 1);  // unconnected: no report

  ValueSource source;
  source.value = StrValue("17");
  TData input;
  ReadString(&input, source.Link(0, 0x300), "");

  EXPECT_EQ(reports, (std::vector<std::pair<int, std::uint32_t>>{
                         {2, 0x100}, {2, 0x200}, {4, 0x300}, {3, 0x300}}));
  EXPECT_EQ(values, (std::vector<std::string>{"1", "3", "", "17"}));

  TraceReport = nullptr;
  EnableDispatch();
  FireInt(MakeEvent<&IntRelay::inValue>(&relay, 0, 0x100), 1);
  EXPECT_EQ(reports.size(), 4u);
}

class ReadHelpers : public WithDispatch {};

TEST_F(ReadHelpers, UnlinkedPullTakesAndConsumesInput) {
  TData input = IntValue(5);
  EXPECT_EQ(ReadString(&input, TKvorn_Event{}, ""), "5");
  EXPECT_EQ(input.Tag, TagEmpty);
  EXPECT_EQ(ReadString(&input, TKvorn_Event{}, ""), "");
}

TEST_F(ReadHelpers, NonEmptyDefaultWinsOverTheInput) {
  TData input = IntValue(3);
  EXPECT_EQ(ReadReal(&input, TKvorn_Event{}, 512.0), 512.0);
  EXPECT_EQ(input.Tag, TagInt);
  EXPECT_EQ(ReadReal(&input, TKvorn_Event{}, 0.0), 3.0);
  EXPECT_EQ(input.Tag, TagEmpty);
  EXPECT_EQ(ReadReal(&input, TKvorn_Event{}, 0.0), 0.0);

  TData text = StrValue("x");
  EXPECT_EQ(ReadString(&text, TKvorn_Event{}, "\n"), "\n");
  EXPECT_EQ(ReadInteger(&text, TKvorn_Event{}, 9), 9);
  EXPECT_EQ(text.StrValue, "x");
}

TEST_F(ReadHelpers, LinkedPullYieldsTheLinkedValueAndLeavesTheInput) {
  ValueSource source;
  source.value = IntValue(17);
  TData input = StrValue("in");
  EXPECT_EQ(ReadString(&input, source.Link(), "default"), "17");
  EXPECT_EQ(ReadInteger(&input, source.Link(), 0), 17);
  EXPECT_EQ(ReadReal(&input, source.Link(), 1.0), 17.0);
  EXPECT_EQ(input.StrValue, "in");
  EXPECT_EQ(input.Tag, TagStr);
  EXPECT_EQ(source.reads, 3);
}

TEST_F(ReadHelpers, AbsentLinkedValueBehavesAsUnlinked) {
  ValueSource source;
  source.value.Tag = TagAbsent;
  TData input = IntValue(4);
  EXPECT_EQ(ReadInteger(&input, source.Link(), 6), 6);
  EXPECT_EQ(input.Tag, TagInt);
  EXPECT_EQ(ReadInteger(&input, source.Link(), 0), 4);
  EXPECT_EQ(input.Tag, TagEmpty);
  EXPECT_EQ(ReadInteger(&input, source.Link(), 0), 0);
}

TEST_F(ReadHelpers, ConsumingAChainedValueBringsTheNextOne) {
  TData second = StrValue("second");
  TData input = IntValue(1);
  input.Next = &second;
  EXPECT_EQ(ReadString(&input, TKvorn_Event{}, ""), "1");
  EXPECT_EQ(input.Tag, TagStr);
  EXPECT_EQ(input.StrValue, "second");
  EXPECT_EQ(second.StrValue, "second");  // copied, not moved out
  EXPECT_EQ(ReadString(&input, TKvorn_Event{}, ""), "second");
  EXPECT_EQ(input.Tag, TagEmpty);
}

TEST_F(ReadHelpers, ReadDataOrder) {
  ValueSource source;
  source.value = StrValue("linked");
  TData other;
  source.value.Next = &other;
  TData input = IntValue(2);

  TData fromLink = ReadData(&input, source.Link(), nullptr);
  EXPECT_EQ(fromLink.StrValue, "linked");
  EXPECT_EQ(fromLink.Next, nullptr);
  EXPECT_EQ(input.Tag, TagInt);

  const TData fallback = StrValue("fallback");
  EXPECT_EQ(ReadData(&input, TKvorn_Event{}, &fallback).StrValue, "fallback");
  EXPECT_EQ(input.Tag, TagInt);

  const TData emptyDefault;
  TData next = IntValue(3);
  input.Next = &next;
  TData taken = ReadData(&input, TKvorn_Event{}, &emptyDefault);
  EXPECT_EQ(taken.IntValue, 2);
  EXPECT_EQ(taken.Next, nullptr);
  EXPECT_EQ(input.IntValue, 3);  // consumed: Next took its place

  TData emptyInput;
  emptyInput.Next = &next;
  TData none = ReadData(&emptyInput, TKvorn_Event{}, nullptr);
  EXPECT_EQ(none.Tag, TagEmpty);
  EXPECT_EQ(emptyInput.Tag, TagEmpty);  // an empty value's chain is dropped, not taken
  EXPECT_EQ(emptyInput.Next, nullptr);
}

TEST_F(ReadHelpers, ReadLinkIntegerAndReadLinkData) {
  ValueSource source;
  source.value = StrValue("42");
  EXPECT_EQ(ReadLinkInteger(source.Link()), 42);
  EXPECT_EQ(ReadLinkInteger(TKvorn_Event{}), 0);

  TData out = StrValue("kept");
  source.value = IntValue(5);
  ReadLinkData(source.Link(), &out);
  EXPECT_EQ(out.Tag, TagInt);
  EXPECT_EQ(out.IntValue, 5);

  struct IntOnly : TDebug {
    void valValue(TData* d, std::uint16_t) {
      d->Tag = TagInt;
      d->IntValue = 6;
    }
  } intOnly;
  TData partial = StrValue("kept");
  ReadLinkData(MakeEvent<&IntOnly::valValue>(&intOnly, 0, 0), &partial);
  EXPECT_EQ(partial.StrValue, "kept");  // not cleared first

  ReadLinkData(TKvorn_Event{}, &out);
  EXPECT_EQ(out.Tag, TagAbsent);
}

// Links built from members of base classes reach the right subobject, and virtual points reach
// the element's own override.
struct OtherBase {
  virtual ~OtherBase() = default;
  int padding = 0;
};
struct ListBase : TDebug {
  virtual void inClear(TData*, std::uint16_t) { cleared = "base"; }
  std::string cleared;
};
struct Memo : OtherBase, ListBase {
  void inClear(TData*, std::uint16_t) override { cleared = "memo"; }
};

TEST_F(WithDispatch, MakeEventAdjustsToTheDeclaringClassAndCallsVirtually) {
  Memo memo;
  FireNull(MakeEvent<&ListBase::inClear>(&memo, 1, 0x03A6AA08));
  EXPECT_EQ(memo.cleared, "memo");

  struct Derived : OtherBase, Recorder {} derived;
  FireInt(MakeEvent<&Recorder::inValue>(&derived, 0, 0), 12);
  ASSERT_EQ(derived.values.size(), 1u);
  EXPECT_EQ(derived.values[0].IntValue, 12);
}

TEST(MethodRefs, BindMembersWithResults) {
  struct Counter {
    int total = 0;
    int Add(int n) { return total += n; }
  } counter;
  const TMethod<int(int)> add = MakeMethod<&Counter::Add>(&counter);
  EXPECT_TRUE(add);
  EXPECT_EQ(add(2), 2);
  EXPECT_EQ(add(3), 5);
  EXPECT_FALSE(TMethod<int(int)>{});
}

TEST(ElementBase, TraceSocketIsOpenedOnceAtTheFirstElement) {
  static int opens = 0;
  const bool alreadyTried = TraceSocketAttempted();
  TraceSocketOpener = [] { ++opens; };
  {
    Recorder first;
    Recorder second;
  }
  TraceSocketOpener = nullptr;
  EXPECT_TRUE(TraceSocketAttempted());
  EXPECT_EQ(opens, alreadyTried ? 0 : 1);
}

TEST(SharedHelpers, IdentifierFillsOnlyZeroFields) {
  std::uint32_t a = 0;
  std::uint32_t b = 0;
  std::uint32_t fixed = 500;
  AssignIdentifier(&a);
  AssignIdentifier(&b);
  AssignIdentifier(&fixed);
  const std::uint32_t firstA = a;
  AssignIdentifier(&a);
  EXPECT_NE(a, 0u);
  EXPECT_EQ(b, a + 1);
  EXPECT_EQ(a, firstA);
  EXPECT_EQ(fixed, 500u);
}

TEST(SharedHelpers, FontRecordIsFilledInOneCall) {
  TFontRec font;
  FillFontRec(&font, "Arial", 10, FontBold | FontItalic, 204, 0x800000);
  EXPECT_EQ(font.Name, "Arial");
  EXPECT_EQ(font.Size, 10);
  EXPECT_EQ(font.Style, 3);
  EXPECT_EQ(font.CharSet, 204);
  EXPECT_EQ(font.Color, 0x800000u);
}

TEST(SharedHelpers, FontHeightRoundsToTheNearestPixelUpward) {
  EXPECT_EQ(FontHeightFor(8, 96), -11);   // 10.67 -> 11
  EXPECT_EQ(FontHeightFor(10, 96), -13);  // 13.33 -> 13
  EXPECT_EQ(FontHeightFor(22, 96), -29);  // 29.33 -> 29
  EXPECT_EQ(FontHeightFor(9, 120), -15);
  EXPECT_EQ(FontHeightFor(6, 96), -8);
  EXPECT_EQ(FontHeightFor(0, 96), 0);
}

}  // namespace
}  // namespace fliran
