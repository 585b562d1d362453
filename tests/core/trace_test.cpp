// The trace channel over a scripted transport: the bytes of every report, which commands release
// a hop, the stop in the middle of a chain, the switch.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "runtime/trace.h"
#include "test_points.h"

namespace fliran {
namespace {

using testing::IntRelay;
using testing::IntValue;
using testing::Recorder;
using testing::RealValue;
using testing::StrValue;
using testing::ValueSource;
using Bytes = std::vector<std::uint8_t>;

// Records what is sent; answers Receive from a script, where an empty entry is a poll that
// finds nothing. A script that runs dry stops tracing, so a fault cannot hang the test.
struct ScriptedTransport : TTraceTransport {
  std::vector<Bytes> sent;
  std::deque<std::optional<TTraceCommand>> script;
  int receives = 0;
  bool ranDry = false;

  void Send(const std::uint8_t* bytes, std::size_t length) override { sent.emplace_back(bytes, bytes + length); }
  bool Receive(TTraceCommand* command) override {
    ++receives;
    if (script.empty()) {
      ranDry = true;
      *command = {TraceCommandStop, 0};
      return true;
    }
    const std::optional<TTraceCommand> next = script.front();
    script.pop_front();
    if (next) *command = *next;
    return next.has_value();
  }
};

class TraceChannel : public ::testing::Test {
 protected:
  ScriptedTransport transport;
  void SetUp() override {
    EnableDispatch();
    StartTracing(&transport);
  }
  void TearDown() override {
    StopTracing();
    DisableDispatch();
    EXPECT_FALSE(transport.ranDry) << "a hop waited for more commands than the script held";
  }
  void Continue(std::uint32_t linkId = kTraceAnyLink) { transport.script.push_back(TTraceCommand{1, linkId}); }
};

Bytes Header(std::uint32_t linkId, std::uint32_t kind, std::uint32_t tag) {
  Bytes b(16);
  PutWord(&b[0], 3);
  PutWord(&b[4], linkId);
  PutWord(&b[8], kind);
  PutWord(&b[12], tag);
  return b;
}

Bytes Joined(Bytes head, const std::string& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(TraceDatagrams, ReportBytesAndLengthFollowTheTag) {
  TData forwarded = IntValue(5);
  forwarded.Tag = 0x81;
  TData absent;
  absent.Tag = TagAbsent;
  const std::string long200(200, 'a');
  const std::string exact127(127, 'b');
  const std::string exact128(128, 'c');
  struct Row {
    const char* what;
    std::uint8_t kind;
    TData value;
    Bytes expected;
  };
  const Row rows[] = {
      {"integer", 2, IntValue(-2), Bytes{3, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}},
      {"short text, no zero byte", 2, StrValue("12\n"), Joined(Header(7, 2, 2), "12\n")},
      {"200 characters: 127 and the zero byte", 2, StrValue(long200),
       Joined(Header(7, 2, 2), std::string(127, 'a') + '\0')},
      {"127 characters: all, no zero byte", 2, StrValue(exact127), Joined(Header(7, 2, 2), exact127)},
      {"128 characters: 127 and the zero byte", 2, StrValue(exact128),
       Joined(Header(7, 2, 2), std::string(127, 'c') + '\0')},
      {"zero byte inside: copy stops, length counts", 3, StrValue(std::string("ab\0cd", 5)),
       Joined(Header(7, 3, 2), std::string("ab\0\0\0", 5))},
      {"real", 3, RealValue(1.5), Joined(Header(7, 3, 7), std::string("\0\0\0\0\0\0\xF8\x3F", 8))},
      {"empty", 4, TData{}, Header(7, 4, 0)},
      {"absent", 3, absent, Header(7, 3, 21)},
      {"forward bit kept", 2, forwarded, Header(7, 2, 0x81)},
  };
  TKvorn_Event link;
  link.LinkId = 7;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const TTraceDatagram datagram = EncodeReport(row.kind, link, row.value);
    EXPECT_EQ(Bytes(datagram.Bytes.begin(), datagram.Bytes.begin() + datagram.Length), row.expected);
  }
  EXPECT_EQ(EncodeAcknowledge(0x01530E10), (std::array<std::uint8_t, 8>{4, 0, 0, 0, 0x10, 0x0E, 0x53, 0x01}));
}

TEST_F(TraceChannel, OnlyAContinueForThisLinkOrAnyLinkReleasesTheHop) {
  const std::optional<TTraceCommand> nothing;
  struct Row {
    const char* what;
    std::vector<std::optional<TTraceCommand>> script;
    int receives;  // how many polls until the hop went on
    bool stillOn;
  };
  const Row rows[] = {
      {"continue any link", {TTraceCommand{1, kTraceAnyLink}}, 1, true},
      {"continue this link", {nothing, nothing, TTraceCommand{1, 7}}, 3, true},
      {"continue another link is dropped", {TTraceCommand{1, 8}, TTraceCommand{1, 7}}, 2, true},
      {"unknown command is dropped", {TTraceCommand{5, kTraceAnyLink}, TTraceCommand{0, 7}, TTraceCommand{1, 7}}, 3,
       true},
      {"stop for any id", {TTraceCommand{2, 12345}}, 1, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    StartTracing(&transport);
    transport.receives = 0;
    transport.sent.clear();
    transport.script.assign(row.script.begin(), row.script.end());
    Recorder sink;
    FireInt(sink.Link(0, 7), 1);
    EXPECT_EQ(sink.values.size(), 1u);
    EXPECT_EQ(transport.receives, row.receives);
    EXPECT_TRUE(transport.script.empty());
    ASSERT_EQ(transport.sent.size(), 2u);  // report and acknowledge, also after a stop
    EXPECT_EQ(transport.sent[1], (Bytes{4, 0, 0, 0, 7, 0, 0, 0}));
    EXPECT_EQ(TracingOn(), row.stillOn);
  }
}

TEST_F(TraceChannel, StopEndsAllReportsAtOnceAndPutsThePlainDispatchersBack) {
  // A chain relay -> sink (forwarded) and a pull; the stop comes with the first or the third
  // report (the pull's "before"): nothing more is reported, not even the pull's "after".
  for (const std::size_t stopAt : {0u, 2u}) {
    SCOPED_TRACE(stopAt);
    StartTracing(&transport);
    transport.sent.clear();
    for (std::size_t i = 0; i < stopAt; ++i) Continue();
    transport.script.push_back(TTraceCommand{2, 12345});
    Recorder sink;
    IntRelay relay;
    relay.out = sink.Link(0, 0x200);
    relay.forwardValue = 3;
    FireInt(MakeEvent<&IntRelay::inValue>(&relay, 0, 0x100), 1);
    ValueSource source;
    source.value = IntValue(4);
    TData input;
    EXPECT_EQ(ReadInteger(&input, source.Link(0, 0x300), 0), 4);
    EXPECT_EQ(transport.sent.size(), 2 * (stopAt + 1));  // reports and acknowledges up to the stop
    ASSERT_EQ(sink.values.size(), 1u);
    EXPECT_EQ(sink.values[0].IntValue, 3);
    EXPECT_FALSE(TracingOn());
    EXPECT_EQ(DispatchHooks.Fire, &DispatchEvent);
    EXPECT_EQ(DispatchHooks.Read, &DispatchRead);
  }
}

TEST(TraceDispatch, ReportingDispatchersFollowTheReportAndNeverCallANullOne) {
  static int reports = 0;
  SetTraceReport([](std::uint8_t, const TKvorn_Event&, const TData&) { ++reports; });
  EXPECT_EQ(DispatchHooks.Fire, &IdleFire);  // still building: stays idle
  EnableDispatch();
  EXPECT_EQ(DispatchHooks.Read, &TracingDispatchRead);
  // A target removes the report (without putting the plain dispatchers back) before a forward.
  Recorder sink;
  IntRelay relay;
  relay.out = sink.Link(0, 2);
  struct Remover : TDebug {
    IntRelay* relay;
    void inValue(TData* d, std::uint16_t i) {
      TraceReport = nullptr;
      relay->inValue(d, i);
    }
  } remover;
  remover.relay = &relay;
  FireInt(MakeEvent<&Remover::inValue>(&remover, 0, 1), 0);
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(sink.values.size(), 1u);
  DisableDispatch();
}

TEST(TraceDispatch, ChannelOffSendsNothingAndNeverWaits) {
  ScriptedTransport transport;  // an empty script: a wait would run it dry
  EnableDispatch();
  Recorder sink;
  FireInt(sink.Link(0, 7), 1);
  ValueSource source;
  TData input;
  ReadInteger(&input, source.Link(0, 8), 0);
  ReportHop(2, sink.Link(0, 7), IntValue(1));  // a report made while off returns at once
  DisableDispatch();
  EXPECT_EQ(sink.values.size(), 1u);
  EXPECT_EQ(transport.receives, 0);
  EXPECT_TRUE(transport.sent.empty());
}

TEST(TraceSwitch, OnlyTraceOneTurnsItOnAnUnsetPortIs120AndAnInvalidOneTurnsItOff) {
  struct Row {
    const char* trace;
    const char* port;
    std::optional<std::uint16_t> expected;
    bool saysWhy;
  };
  const Row rows[] = {{nullptr, "5000", std::nullopt, false}, {"0", nullptr, std::nullopt, false},
                      {"1 ", nullptr, std::nullopt, false},   {"1", nullptr, 120, false},
                      {"1", "5000", 5000, false},             {"1", "65535", 65535, false},
                      {"1", "1", 1, false},                   {"1", "", std::nullopt, true},
                      {"1", "5120x", std::nullopt, true},     {"1", "99999", std::nullopt, true},
                      {"1", "65536", std::nullopt, true},     {"1", "0", std::nullopt, true},
                      {"1", "-1", std::nullopt, true},        {"1", "005120", std::nullopt, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.trace ? row.trace : "(unset)") + " / " + (row.port ? row.port : "(unset)"));
    std::string problem = "left over";
    EXPECT_EQ(TracePortFromSwitch(row.trace, row.port, &problem), row.expected);
    const std::string why =
        "FLIRAN_TRACE_PORT=\"" + std::string(row.port ? row.port : "") + "\" is not a UDP port (1 to 65535): tracing is off";
    EXPECT_EQ(problem, row.saysWhy ? why : "");
  }
}

}  // namespace
}  // namespace fliran
