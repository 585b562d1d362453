// The processing elements: arithmetic, text joiner, fan-out and counter, alone and in the chains
// the panel builds from them.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "elements/counter.h"
#include "elements/hub.h"
#include "elements/math.h"
#include "elements/str_cat.h"
#include "test_points.h"

namespace fliran {
namespace {

using testing::IntRelay;
using testing::IntValue;
using testing::RealValue;
using testing::Recorder;
using testing::StrValue;
using testing::ValueSource;
using testing::WithDispatch;

class MathElement : public WithDispatch {
 protected:
  TKvornMath math;
  Recorder sink;

  void SetUp() override {
    WithDispatch::SetUp();
    math.outResult = sink.Link();
    math.ResultType = 1;
  }
  double Subtract(TData value) {
    math.inSubtract(&value, 0);
    return sink.values.back().RealValue;
  }
};

TEST_F(MathElement, SubtractsAnOffsetFromTheInput) {
  math.Op2 = 512.0;
  EXPECT_EQ(Subtract(IntValue(600)), 88.0);
  EXPECT_EQ(Subtract(StrValue("700")), 188.0);
  EXPECT_EQ(Subtract(TData{}), -512.0);
  EXPECT_EQ(Subtract(IntValue(602)), 90.0);
  for (const TData& fired : sink.values) EXPECT_EQ(fired.Tag, TagReal);
}

TEST_F(MathElement, NonZeroDefaultsIgnoreTheInput) {
  math.Op1 = 50.0;
  math.Op2 = 50.0;
  TData value = StrValue("603");
  math.inAdd(&value, 0);
  TData empty;
  math.inAdd(&empty, 0);
  ASSERT_EQ(sink.values.size(), 2u);
  EXPECT_EQ(sink.values[0].RealValue, 100.0);
  EXPECT_EQ(sink.values[1].RealValue, 100.0);
  EXPECT_EQ(value.StrValue, "603");
  EXPECT_EQ(value.Tag, TagStr);
  EXPECT_EQ(math.Result, 100.0);
}

TEST_F(MathElement, ZeroDefaultsTakeTheInputOnceThenFindItConsumed) {
  // The first operand is read first and takes the input; the second then finds it consumed.
  // Subtracting shows the order: reading the second operand first would give 0 - 7.
  TData value = IntValue(7);
  math.inAdd(&value, 0);
  EXPECT_EQ(sink.values.back().RealValue, 7.0);
  EXPECT_EQ(value.Tag, TagEmpty);
  value = IntValue(7);
  math.inSubtract(&value, 0);
  EXPECT_EQ(sink.values.back().RealValue, 7.0);
  EXPECT_EQ(value.Tag, TagEmpty);
}

TEST_F(MathElement, IntegerResultsRoundHalfToEven) {
  math.ResultType = 0;
  math.Op1 = 3.0;
  math.Op2 = 0.5;
  TData value;
  math.inSubtract(&value, 0);  // 2.5
  math.Op1 = 3.0;
  math.inAdd(&value, 0);       // 3.5
  ASSERT_EQ(sink.values.size(), 2u);
  EXPECT_EQ(sink.values[0].Tag, TagInt);
  EXPECT_EQ(sink.values[0].IntValue, 2);
  EXPECT_EQ(sink.values[1].IntValue, 4);
}

TEST_F(MathElement, OperandsComeFromLinkedPullPointsFirst) {
  ValueSource op1;
  op1.value = IntValue(10);
  math.dataOp1 = op1.Link();
  math.Op2 = 4.0;
  TData value = IntValue(1000);
  math.inSubtract(&value, 0);
  EXPECT_EQ(sink.values.back().RealValue, 6.0);
  EXPECT_EQ(value.IntValue, 1000);
}

TEST_F(MathElement, SettersResetStateAndAngleFactor) {
  math.Status = 9;
  math.SetDefault(2.5);
  EXPECT_EQ(math.Default, 2.5);
  EXPECT_EQ(math.Result, 2.5);
  EXPECT_EQ(math.Status, 0);
  math.SetAngleMode(1);
  EXPECT_DOUBLE_EQ(math.AngleFactor, std::numbers::pi / 180.0);
  math.SetAngleMode(0);
  EXPECT_EQ(math.AngleFactor, 1.0);
}

class JoinerElement : public WithDispatch {
 protected:
  TKvornStrCat join;
  Recorder sink;
  void SetUp() override {
    WithDispatch::SetUp();
    join.Second = "\n";
    join.outJoined = sink.Link();
  }
};

TEST_F(JoinerElement, AppendsTheLineFeedToTheIncomingValue) {
  TData value = IntValue(42);
  FireDataDirect(MakeEvent<&TKvornStrCat::inJoin>(&join, 0, 0), &value);
  ASSERT_EQ(sink.values.size(), 1u);
  EXPECT_EQ(sink.values[0].Tag, TagStr);
  EXPECT_EQ(sink.values[0].StrValue, "42\n");
  EXPECT_EQ(value.Tag, TagStr);  // the value was forwarded, so the caller sees the joined text
  EXPECT_EQ(value.StrValue, "42\n");
  EXPECT_EQ(join.Result, "42\n");
}

TEST_F(JoinerElement, LinkedFirstPartIgnoresTheIncomingValue) {
  ValueSource position;
  position.value = IntValue(17);
  join.dataFirst = position.Link();
  TData value = StrValue("ignored");
  join.inJoin(&value, 0);
  EXPECT_EQ(value.StrValue, "17\n");

  // The first read did not consume the input, so an empty Second takes it.
  join.Second.clear();
  TData other = StrValue("tail");
  join.inJoin(&other, 0);
  EXPECT_EQ(other.StrValue, "17tail");
}

TEST_F(JoinerElement, EmptyEverythingFiresAnEmptyString) {
  join.Second.clear();
  TData value;
  FireDataDirect(MakeEvent<&TKvornStrCat::inJoin>(&join, 0, 0), &value);
  ASSERT_EQ(sink.values.size(), 1u);
  EXPECT_EQ(sink.values[0].Tag, TagStr);
  EXPECT_EQ(sink.values[0].StrValue, "");
}

class HubElement : public WithDispatch {};

TEST_F(HubElement, EveryOutputGetsTheValueAsItWasFiredIntoTheHub) {
  TKvornHub hub;
  hub.InCount = 1;
  hub.SetOutCount(3);
  IntRelay changer;  // forwards a new value on output 0's chain
  Recorder afterChanger, second, third;
  changer.out = afterChanger.Link();
  changer.forwardValue = 99;
  hub.outEvent[0] = changer.Link();
  hub.outEvent[1] = second.Link(1);
  hub.outEvent[2] = third.Link(2);

  TData value = StrValue("602");
  FireDataDirect(MakeEvent<&TKvornHub::inEvent>(&hub, 5, 0), &value);

  ASSERT_EQ(afterChanger.values.size(), 1u);
  EXPECT_EQ(afterChanger.values[0].IntValue, 99);
  ASSERT_EQ(second.values.size(), 1u);
  EXPECT_EQ(second.values[0].StrValue, "602");
  EXPECT_EQ(second.values[0].Tag, TagStr);
  ASSERT_EQ(third.values.size(), 1u);
  EXPECT_EQ(third.values[0].StrValue, "602");
  EXPECT_EQ(value.StrValue, "602");
}

TEST_F(HubElement, OutputsRunInOrderEachChainCompletingFirst) {
  std::vector<std::string> order;
  TKvornHub hub;
  hub.SetOutCount(2);
  IntRelay relay;
  Recorder endOfFirst, second;
  relay.out = endOfFirst.Link();
  endOfFirst.onValue = [&](TData*) { order.push_back("end of output 0"); };
  second.onValue = [&](TData*) { order.push_back("output 1"); };
  hub.outEvent[0] = relay.Link();
  hub.outEvent[1] = second.Link();
  FireInt(MakeEvent<&TKvornHub::inEvent>(&hub, 0, 0), 1);
  EXPECT_EQ(order, (std::vector<std::string>{"end of output 0", "output 1"}));
}

TEST_F(HubElement, NoOutputsOrUnconnectedOnesFireNothing) {
  TKvornHub hub;
  Recorder sink;
  TData value = IntValue(1);
  hub.inEvent(&value, 0);
  hub.SetOutCount(2);
  hub.outEvent[1] = sink.Link();
  hub.inEvent(&value, 0);
  EXPECT_EQ(sink.values.size(), 1u);

  hub.OutCount = 200;  // larger than the array: only existing outputs fire
  hub.inEvent(&value, 0);
  EXPECT_EQ(sink.values.size(), 2u);
}

TEST_F(HubElement, OutputCountKeepsItsLow8Bits) {
  TKvornHub hub;
  hub.SetOutCount(300);
  EXPECT_EQ(hub.outEvent.size(), 300u);
  EXPECT_EQ(hub.OutCount, 44);
  hub.SetOutCount(1);
  EXPECT_EQ(hub.outEvent.size(), 1u);
  EXPECT_FALSE(hub.outEvent[0].Connected());
}

class CounterElement : public WithDispatch {
 protected:
  TKvornCounter counter;
  Recorder sink;
  void SetUp() override {
    WithDispatch::SetUp();
    counter.Min = 0;
    counter.Max = 100;
    counter.Step = 1;
    counter.outCount = sink.Link();
  }
  void Next() { FireNull(MakeEvent<&TKvornCounter::inNext>(&counter, 0, 0)); }
};

TEST_F(CounterElement, CountsUpToMaxThenWrapsToMin) {
  for (int i = 0; i < 102; ++i) Next();
  ASSERT_EQ(sink.values.size(), 102u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(sink.values[i].IntValue, i + 1);
  EXPECT_EQ(sink.values[100].IntValue, 0);
  EXPECT_EQ(sink.values[101].IntValue, 1);
  EXPECT_EQ(sink.values[0].Tag, TagInt);
}

TEST_F(CounterElement, CountingDownFromMinGivesMax) {
  counter.Direction = 1;
  counter.Value = 0;
  Next();
  Next();
  EXPECT_EQ(sink.values[0].IntValue, 100);
  EXPECT_EQ(sink.values[1].IntValue, 99);
}

TEST_F(CounterElement, AnOvershootIsReplacedByTheOppositeBoundNotTheRemainder) {
  struct Case {
    std::uint8_t direction;
    std::int32_t value;
    std::int32_t fired;
  };
  // Min 0, Max 10, Step 3: up from 9 overshoots to 12 and gives Min; down from 1 gives Max.
  for (const Case& c : {Case{0, 7, 10}, Case{0, 8, 0}, Case{0, 9, 0}, Case{0, 10, 0},
                        Case{1, 3, 0}, Case{1, 2, 10}, Case{1, 1, 10}, Case{1, 0, 10}}) {
    counter.Max = 10;
    counter.Step = 3;
    counter.Direction = c.direction;
    counter.Value = c.value;
    Next();
    EXPECT_EQ(sink.values.back().IntValue, c.fired) << "direction " << int{c.direction} << " from " << c.value;
    EXPECT_EQ(counter.Value, c.fired);
  }
}

TEST_F(CounterElement, ResetFiresNothingAndRestartsFromTheStart) {
  Next();
  Next();
  TData ignored = IntValue(55);
  counter.inReset(&ignored, 2);
  EXPECT_EQ(sink.values.size(), 2u);
  Next();
  EXPECT_EQ(sink.values.back().IntValue, 1);

  counter.Direction = 1;
  counter.inReset(&ignored, 2);
  EXPECT_EQ(counter.Value, 100);
}

TEST_F(CounterElement, ArithmeticWrapsIn32Bits) {
  counter.Min = std::numeric_limits<std::int32_t>::min();
  counter.Max = std::numeric_limits<std::int32_t>::max();
  counter.Value = counter.Max;
  Next();
  EXPECT_EQ(sink.values.back().IntValue, std::numeric_limits<std::int32_t>::min());
  counter.Direction = 1;
  Next();
  EXPECT_EQ(sink.values.back().IntValue, std::numeric_limits<std::int32_t>::max());
}

// The chains the panel builds: a slider position through a joiner and the line fan-out, and a
// button value through its own fan-out.
class PanelChains : public WithDispatch {};

TEST_F(PanelChains, SliderPositionBecomesOneLine) {
  ValueSource slider;
  slider.value = IntValue(95);
  TKvornStrCat join;
  join.Second = "\n";
  join.dataFirst = slider.Link();
  TKvornHub lines;
  lines.InCount = 7;
  lines.SetOutCount(1);
  Recorder port;
  join.outJoined = MakeEvent<&TKvornHub::inEvent>(&lines, 0, 0x01530E10);
  lines.outEvent[0] = port.Link(3, 0x01530F78);

  FireInt(MakeEvent<&TKvornStrCat::inJoin>(&join, 0, 0x01531200), 12345);
  ASSERT_EQ(port.values.size(), 1u);
  EXPECT_EQ(port.values[0].StrValue, "95\n");
  EXPECT_EQ(port.indexes[0], 3);
}

TEST_F(PanelChains, ForgetButtonRecentresWithOneCommandValue) {
  TKvornHub forget;
  forget.SetOutCount(4);
  TKvornStrCat join;
  join.Second = "\n";
  TKvornMath eyes, neck, mouth;
  Recorder line, eyesPos, neckPos, mouthPos;
  TKvornMath* centres[] = {&eyes, &neck, &mouth};
  Recorder* positions[] = {&eyesPos, &neckPos, &mouthPos};
  const double offsets[] = {512.0, 332.0, 152.0};
  for (int i = 0; i < 3; ++i) {
    centres[i]->ResultType = 1;
    centres[i]->Op2 = offsets[i];
    centres[i]->outResult = positions[i]->Link(1);
    forget.outEvent[i + 1] = MakeEvent<&TKvornMath::inSubtract>(centres[i], 0, 0);
  }
  join.outJoined = line.Link();
  forget.outEvent[0] = MakeEvent<&TKvornStrCat::inJoin>(&join, 0, 0);

  FireInt(MakeEvent<&TKvornHub::inEvent>(&forget, 0, 0), 602);
  ASSERT_EQ(line.values.size(), 1u);
  EXPECT_EQ(line.values[0].StrValue, "602\n");
  EXPECT_EQ(eyesPos.values.at(0).RealValue, 90.0);
  EXPECT_EQ(neckPos.values.at(0).RealValue, 270.0);
  EXPECT_EQ(mouthPos.values.at(0).RealValue, 450.0);
}

}  // namespace
}  // namespace fliran
