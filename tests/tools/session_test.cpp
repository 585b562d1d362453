// The trace debugger's decisions: its command line, the answers while a hop is held, which
// sender it follows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/trace_debugger/session.h"

namespace fliran::debugger {
namespace {

TEST(DebuggerOptions, GoodOptionsAreReadAndEveryMistakeIsNamed) {
  struct Row {
    std::vector<std::string> args;
    std::string error;  // the start of the error; empty: accepted
  };
  const Row rows[] = {
      {{"--port", "5120", "--run", "--element", "SerialPort", "--element", "JoinEyes", "--time"}, ""},
      {{"--port", "0"}, ""},
      {{"--bogus"}, "unknown option \"--bogus\"; see trace_debugger --help"},
      {{"5120"}, "unknown option \"5120\"; see trace_debugger --help"},
      {{"--port"}, "--port needs a port number; see trace_debugger --help"},
      {{"--port", "65536"}, "--port \"65536\" is not a port (0 to 65535); see trace_debugger --help"},
      {{"--port", "51x"}, "--port \"51x\" is not a port (0 to 65535); see trace_debugger --help"},
      {{"--port", "-1"}, "--port \"-1\" is not a port (0 to 65535); see trace_debugger --help"},
      {{"--element"}, "--element needs an element name; see trace_debugger --help"},
      {{"--element", "serialport"},
       "--element \"serialport\" is no element of the panel; the elements with links are: ButtonForget ButtonGlow "},
      {{"--element", "LabelEyes"},
       "--element \"LabelEyes\" has no links, so no hop comes from or to it; the elements with links are: "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[0]);
    TOptions options;
    const std::string error = ParseOptions(row.args, &options);
    EXPECT_EQ(error.substr(0, row.error.size()), row.error);
    EXPECT_EQ(error.empty(), row.error.empty()) << error;
  }
  TOptions options;
  ASSERT_EQ(ParseOptions(rows[0].args, &options), "");
  EXPECT_EQ(options.Port, 5120u);
  EXPECT_TRUE(options.Run && options.Time && !options.Help);
  EXPECT_EQ(options.Elements, (std::vector<std::string>{"SerialPort", "JoinEyes"}));

  // The refusal lists every element that has a link, and nothing else.
  TOptions refused;
  const std::string error = ParseOptions({"--element", "Nope"}, &refused);
  for (const char* name : {"CenterMouth", "FrameDisplay", "PortChooser", "ReplyLength", "ReplyLog", "SliderMouth"}) {
    EXPECT_NE(error.find(std::string(" ") + name), std::string::npos) << name;
  }
}

TEST(DebuggerOptions, HelpExplainsEveryOptionAndAnswer) {
  TOptions options;
  ASSERT_EQ(ParseOptions({"--help"}, &options), "");
  EXPECT_TRUE(options.Help);
  const std::string help = HelpText();
  for (const char* text : {"--port N", "--run", "--element NAME", "--time", "--help", "FLIRAN_TRACE_PORT",
                           "below 1024", "\n  Enter ", "\n  r Enter ", "\n  s Enter ", "\n  q Enter ",
                           "Anything else asks again", "typed before a hop was shown is dropped"}) {
    EXPECT_NE(help.find(text), std::string::npos) << text;
  }
}

TEST(DebuggerAnswers, OnlyEnterRAndSOrQAnswerAHeldHop) {
  struct Row {
    const char* typed;
    TAnswer answer;
  };
  const Row rows[] = {{"", TAnswer::Step},      {"\r", TAnswer::Step},    {"  ", TAnswer::Step},
                      {"r", TAnswer::Run},      {" r\r", TAnswer::Run},   {"s", TAnswer::Stop},
                      {"q", TAnswer::Stop},     {"x", TAnswer::Again},    {"rs", TAnswer::Again},
                      {"R", TAnswer::Again},    {"stop", TAnswer::Again}, {"r s", TAnswer::Again}};
  for (const Row& row : rows) EXPECT_EQ(ReadAnswer(row.typed), row.answer) << '"' << row.typed << '"';
}

TEST(DebuggerSenders, TheFirstReporterIsThePanelAndAnyOtherIsIgnoredAndNamedOnce) {
  const TSender panel{0x7F000001, 40001};
  const TSender otherPort{0x7F000001, 40002};
  const TSender otherHost{0x7F000002, 40001};
  struct Row {
    TSender from;
    bool report;
    bool accepted;
    std::string note;
  };
  const Row rows[] = {
      {otherPort, false, true, ""},  // not a report: names no panel (and is no hop)
      {panel, true, true, ""},       // the first report: the panel
      {otherPort, true, false,
       "trace_debugger: ignoring 127.0.0.1:40002 and any other sender: only the panel at 127.0.0.1:40001, the "
       "first to report, is followed"},
      {panel, false, true, ""},
      {otherHost, true, false, ""},  // said once is enough
      {otherPort, false, false, ""},
      {panel, true, true, ""},
  };
  TSenderFilter filter;
  for (const Row& row : rows) {
    std::string note = "left over";
    EXPECT_EQ(filter.Accept(row.from, row.report, &note), row.accepted) << SenderText(row.from);
    EXPECT_EQ(note, row.note);
  }
  EXPECT_EQ(filter.Panel(), panel);
}

TEST(DebuggerListening, AFailureSaysWhyAndHowToPickAnotherPort) {
  const std::string denied = ListenFailureText(120, TListenFailure::Denied, "Permission denied");
  EXPECT_EQ(denied.rfind("trace_debugger: cannot listen on 127.0.0.1:120: Permission denied\n", 0), 0u) << denied;
  for (const std::string& text : {denied, ListenFailureText(5120, TListenFailure::InUse, "Address already in use")}) {
    EXPECT_NE(text.find("--port N"), std::string::npos) << text;
    EXPECT_NE(text.find("FLIRAN_TRACE_PORT=N"), std::string::npos) << text;
  }
  EXPECT_NE(denied.find("below 1024 need root"), std::string::npos);
}

}  // namespace
}  // namespace fliran::debugger
