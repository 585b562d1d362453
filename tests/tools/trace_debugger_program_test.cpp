// The built trace debugger as a user meets it: a process of its own with its input and output on
// pipes, and a real UDP socket of this test standing in for the panel (and one for a stranger).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/trace.h"
#include "tools/scheme_picture/scheme_dot.h"
#include "tools/trace_debugger/session.h"

extern char** environ;

namespace fliran::debugger {
namespace {

using Clock = std::chrono::steady_clock;

// The debugger started with args; killed at destruction if it still runs.
class DebuggerProcess {
 public:
  explicit DebuggerProcess(const std::vector<std::string>& args) {
    signal(SIGPIPE, SIG_IGN);  // typing to a debugger that has quit must not end the test
    int in[2];
    int out[2];
    int err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> words{FLIRAN_TRACE_DEBUGGER};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    input_ = in[1];
    output_ = out[0];
    error_ = err[0];
  }
  ~DebuggerProcess() {
    if (pid_ > 0 && exitCode_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    for (int fd : {input_, output_, error_}) {
      if (fd >= 0) close(fd);
    }
  }
  DebuggerProcess(const DebuggerProcess&) = delete;
  DebuggerProcess& operator=(const DebuggerProcess&) = delete;

  void Type(const std::string& text) {
    ASSERT_EQ(write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void Interrupt() { kill(pid_, SIGINT); }

  // Waits up to 10 s until its standard output (or error) holds text.
  bool WaitOutput(const std::string& text) { return WaitFor(out_, text); }
  bool WaitError(const std::string& text) { return WaitFor(err_, text); }
  const std::string& Output() const { return out_; }
  const std::string& Error() const { return err_; }

  // The port of its first line.
  unsigned ListeningPort() {
    if (!WaitOutput("\n")) return 0;
    const std::string prefix = "listening on 127.0.0.1:";
    return out_.rfind(prefix, 0) == 0 ? static_cast<unsigned>(std::stoul(out_.substr(prefix.size()))) : 0;
  }

  // The exit code, after all its output; -1 if it has not ended within 10 s.
  int ExitCode() {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (exitCode_ < 0 && Clock::now() < end) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    if (exitCode_ >= 0) {
      while (Drain(50)) {
      }
    }
    return exitCode_;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int error_ = -1;
  int exitCode_ = -1;
  std::string out_;
  std::string err_;

  // Reads what is there within ms; whether anything came.
  bool Drain(int ms) {
    pollfd fds[2] = {{output_, POLLIN, 0}, {error_, POLLIN, 0}};
    if (poll(fds, 2, ms) <= 0) return false;
    bool got = false;
    for (int i = 0; i < 2; ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP)) == 0) continue;
      char chunk[4096];
      const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
      if (n > 0) (i == 0 ? out_ : err_).append(chunk, static_cast<std::size_t>(n));
      got = got || n > 0;
    }
    return got;
  }
  bool WaitFor(const std::string& stream, const std::string& text) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (stream.find(text) == std::string::npos) {
      if (Clock::now() >= end) return false;
      Drain(50);
    }
    return true;
  }
};

// A UDP socket on 127.0.0.1 that reports hops as the panel does.
class Udp {
 public:
  Udp() {
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    socklen_t size = sizeof local;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &size);
    port_ = ntohs(local.sin_port);
  }
  ~Udp() { close(socket_); }
  Udp(const Udp&) = delete;
  Udp& operator=(const Udp&) = delete;

  std::uint16_t Port() const { return port_; }

  void Report(unsigned to, std::uint32_t linkId, std::int32_t value, std::uint8_t kind = TraceKindEvent) {
    TKvorn_Event link;
    link.LinkId = linkId;
    TData data;
    MakeInt(&data, value);
    const TTraceDatagram report = EncodeReport(kind, link, data);
    Bind(to);
    sendto(socket_, report.Bytes.data(), report.Length, 0, reinterpret_cast<const sockaddr*>(&to_), sizeof to_);
  }

  // The next command (command, link id) within ms, or nothing.
  std::optional<std::array<std::uint32_t, 2>> Command(int ms = 10000) {
    pollfd fd{socket_, POLLIN, 0};
    if (poll(&fd, 1, ms) != 1) return std::nullopt;
    std::uint8_t bytes[64] = {};
    if (recv(socket_, bytes, sizeof bytes, 0) != 8) return std::array<std::uint32_t, 2>{0, 0};
    return std::array<std::uint32_t, 2>{GetWord(bytes), GetWord(bytes + 4)};
  }

 private:
  int socket_ = -1;
  std::uint16_t port_ = 0;
  sockaddr_in to_{};

  void Bind(unsigned port) {
    to_.sin_family = AF_INET;
    to_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to_.sin_port = htons(static_cast<std::uint16_t>(port));
  }
};

using Command = std::optional<std::array<std::uint32_t, 2>>;
Command Continue(std::uint32_t linkId) { return std::array<std::uint32_t, 2>{TraceCommandContinue, linkId}; }
const Command kStop = std::array<std::uint32_t, 2>{TraceCommandStop, kTraceAnyLink};

constexpr std::uint32_t kEyesToJoin = 0x01531200;    // SliderEyes -> JoinEyes
constexpr std::uint32_t kJoinToFanOut = 0x01530E10;  // JoinEyes -> FanOutLines
constexpr std::uint32_t kFanOutToPort = 0x01530F78;  // FanOutLines -> SerialPort
constexpr std::uint32_t kPortPull = 0x01530C60;      // SerialPort <- PortChooser

TEST(TraceDebuggerProgram, HelpMistakesAndABusyPortEndItWithWhatToDo) {
  Udp busy;  // holds its port
  struct Row {
    std::vector<std::string> args;
    int exitCode;
    bool onError;  // the text is on standard error, else on standard output
    std::string text;
  };
  const Row rows[] = {
      {{"--help"}, 0, false, "  r Enter         run freely from here\n"},
      {{"--run", "--bogus"}, 2, true, "trace_debugger: unknown option \"--bogus\"; see trace_debugger --help\n"},
      {{"--element", "Sliders"}, 2, true,
       "trace_debugger: --element \"Sliders\" is no element of the panel; the elements with links are: ButtonForget "},
      {{"--port", std::to_string(busy.Port())}, 1, true,
       "trace_debugger: cannot listen on 127.0.0.1:" + std::to_string(busy.Port()) +
           ": Address already in use\n  another program (another debugger?) listens there\n"},
      {{"--port", std::to_string(busy.Port())}, 1, true,
       "trace_debugger --port N, and start the panel with FLIRAN_TRACE_PORT=N\n"},
      {{"--summary", "--dot"}, 2, true, "trace_debugger: --dot needs a file name; see trace_debugger --help\n"},
      // Refused before listening, rather than lose the session's counts at its end.
      {{"--port", "0", "--dot", "/nonexistent/hops.dot"}, 1, true,
       "trace_debugger: cannot write /nonexistent/hops.dot: No such file or directory\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.back());
    DebuggerProcess debugger(row.args);
    EXPECT_EQ(debugger.ExitCode(), row.exitCode);
    const std::string& stream = row.onError ? debugger.Error() : debugger.Output();
    EXPECT_NE(stream.find(row.text), std::string::npos) << stream;
  }
}

TEST(TraceDebuggerProgram, SteppingHoldsEveryHopFollowsOnlyThePanelAndDropsKeysTypedAhead) {
  DebuggerProcess debugger({"--port", "0"});
  const unsigned port = debugger.ListeningPort();
  ASSERT_NE(port, 0u) << debugger.Output() << debugger.Error();
  Udp panel;
  Udp stranger;

  panel.Report(port, kEyesToJoin, 1);
  ASSERT_TRUE(debugger.WaitOutput("0x01531200 SliderEyes.outPosition -> JoinEyes.inJoin  int 1\n"));
  debugger.Type("\n\n");  // one Enter too many
  EXPECT_EQ(panel.Command(), Continue(kEyesToJoin));

  // The extra Enter came before this hop was shown: it is no answer to it, nor is "x".
  panel.Report(port, kJoinToFanOut, 2);
  ASSERT_TRUE(debugger.WaitOutput("FanOutLines.inEvent  int 2\n"));
  EXPECT_EQ(panel.Command(200), std::nullopt) << "the Enter typed ahead let the hop go on";
  debugger.Type("x\n");
  ASSERT_TRUE(debugger.WaitOutput(std::string(kAskAgain) + "\n")) << debugger.Output();
  debugger.Type("\n");
  EXPECT_EQ(panel.Command(), Continue(kJoinToFanOut));

  // A report from anyone but the panel is neither shown nor answered; the panel's next one is.
  stranger.Report(port, kFanOutToPort, 3);
  ASSERT_TRUE(debugger.WaitError("ignoring 127.0.0.1:" + std::to_string(stranger.Port())));
  panel.Report(port, kFanOutToPort, 4);
  ASSERT_TRUE(debugger.WaitOutput("SerialPort.inWrite  int 4\n"));
  stranger.Report(port, kFanOutToPort, 5);
  debugger.Type("s\n");
  EXPECT_EQ(panel.Command(), kStop);
  EXPECT_EQ(debugger.ExitCode(), 0);
  EXPECT_EQ(stranger.Command(100), std::nullopt);

  const std::string output = debugger.Output();
  const std::string expected = "listening on 127.0.0.1:" + std::to_string(port) +
                               "\n"
                               "0x01531200 SliderEyes.outPosition -> JoinEyes.inJoin  int 1\n"
                               "0x01530E10 JoinEyes.outJoined -> FanOutLines.inEvent  int 2\n" +
                               kAskAgain +
                               "\n"
                               "0x01530F78 FanOutLines.outEvent 0 -> SerialPort.inWrite  int 4\n"
                               "tracing stopped\n"
                               "3 of 3 hops shown, ";
  EXPECT_EQ(output.substr(0, expected.size()), expected);
  EXPECT_EQ(std::count(debugger.Error().begin(), debugger.Error().end(), '\n'), 1) << debugger.Error();
}

TEST(TraceDebuggerProgram, ClosingLineCountsTheHopsShownAndAllHops) {
  struct Row {
    std::vector<std::string> args;
    std::vector<std::uint32_t> hops;
    std::vector<Command> answers;  // what the panel gets for each hop
    std::string closing;
  };
  const Row rows[] = {
      {{"--run"}, {}, {}, "no hop came\n"},
      {{"--run", "--element", "SerialPort"},
       {kFanOutToPort, kEyesToJoin, kPortPull},
       {Continue(kTraceAnyLink), Continue(kEyesToJoin), Continue(kTraceAnyLink)},
       "tracing stopped\n2 of 3 hops shown, "},
      {{"--element", "PortChooser"}, {kEyesToJoin}, {Continue(kEyesToJoin)}, "tracing stopped\n0 of 1 hop shown\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.back());
    DebuggerProcess debugger(row.args);
    const unsigned port = debugger.ListeningPort();
    ASSERT_NE(port, 0u) << debugger.Error();
    Udp panel;
    for (std::size_t i = 0; i < row.hops.size(); ++i) {
      panel.Report(port, row.hops[i], static_cast<std::int32_t>(i));
      EXPECT_EQ(panel.Command(), row.answers[i]);
    }
    debugger.Interrupt();
    EXPECT_EQ(debugger.ExitCode(), 0);
    if (!row.hops.empty()) {
      EXPECT_EQ(panel.Command(), kStop);
    }
    const std::string& output = debugger.Output();
    // The closing line is the last one.
    const std::size_t at = output.find(row.closing);
    ASSERT_NE(at, std::string::npos) << output;
    EXPECT_EQ(std::count(output.begin() + static_cast<std::ptrdiff_t>(at + row.closing.size()), output.end(), '\n'),
              row.closing.back() == '\n' ? 0 : 1)
        << output;
  }
}

// At the end the hops per link, every one that came (shown or not, a pull with its value once),
// in the order first taken, and the scheme's graph with those counts on its edges.
TEST(TraceDebuggerProgram, SummaryAndDotCountTheHopsPerLink) {
  const std::string dotFile = ::testing::TempDir() + "trace_debugger_hops.dot";
  std::remove(dotFile.c_str());
  DebuggerProcess debugger({"--port", "0", "--run", "--element", "SerialPort", "--summary", "--dot", dotFile});
  const unsigned port = debugger.ListeningPort();
  ASSERT_NE(port, 0u) << debugger.Error();
  Udp panel;
  const struct {
    std::uint32_t linkId;
    std::uint8_t kind;
  } hops[] = {{kEyesToJoin, TraceKindEvent},  {kFanOutToPort, TraceKindEvent}, {kPortPull, TraceKindPull},
              {kPortPull, TraceKindPulled}, {0x12345678, TraceKindEvent},   {kFanOutToPort, TraceKindEvent}};
  for (const auto& hop : hops) {
    panel.Report(port, hop.linkId, 7, hop.kind);
    ASSERT_NE(panel.Command(), std::nullopt);
  }
  debugger.Interrupt();
  EXPECT_EQ(debugger.ExitCode(), 0);
  const std::string expected = "tracing stopped\n"
                               "hops per link, in the order first taken:\n"
                               "     1  0x01531200 SliderEyes.outPosition -> JoinEyes.inJoin\n"
                               "     2  0x01530F78 FanOutLines.outEvent 0 -> SerialPort.inWrite\n"
                               "     1  0x01530C60 SerialPort.dataPort <- PortChooser.valIndex\n"
                               "     1  0x12345678 ? -> ?\n"
                               "the scheme with the hops per link: " +
                               dotFile + "\n4 of 6 hops shown, ";
  EXPECT_NE(debugger.Output().find(expected), std::string::npos) << debugger.Output();

  std::ifstream file(dotFile, std::ios::binary);
  const std::string dot((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  THopCounts counts{};
  counts[6 - 1] = 1;  // the rows of kPanelLinks: SliderEyes -> JoinEyes,
  counts[5 - 1] = 2;  // FanOutLines -> SerialPort,
  counts[2 - 1] = 1;  // SerialPort <- PortChooser
  EXPECT_EQ(dot, SchemeDot(&counts));
  // The writer puts each count on its edge and marks the links taken.
  const std::size_t write = dot.find("[id=\"link_01530F78\"");
  ASSERT_NE(write, std::string::npos);
  const std::string writeEdge = dot.substr(write, dot.find('\n', write) - write);
  EXPECT_NE(writeEdge.find("<b>2 hops</b>"), std::string::npos) << writeEdge;
  EXPECT_NE(writeEdge.find("penwidth"), std::string::npos) << writeEdge;
  const std::size_t untaken = dot.find("[id=\"link_01533918\"");
  ASSERT_NE(untaken, std::string::npos);
  EXPECT_EQ(dot.substr(untaken, dot.find('\n', untaken) - untaken).find("penwidth"), std::string::npos);
  std::remove(dotFile.c_str());
}

}  // namespace
}  // namespace fliran::debugger
