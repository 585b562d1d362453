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

// A request to the web view on 127.0.0.1:port, written out as given (so that any Host, Origin
// or token can be sent); the whole answer, read until the server closes.
std::string Http(unsigned port, const std::string& request) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  std::string answer;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
      send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    for (pollfd ready{fd, POLLIN, 0}; poll(&ready, 1, 5000) == 1;) {
      char chunk[4096];
      const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      answer.append(chunk, static_cast<std::size_t>(n));
    }
  }
  close(fd);
  return answer;
}

// A request with the usual headers; extra ones end in "\r\n".
std::string Request(const std::string& method, const std::string& target, const std::string& host,
                    const std::string& extra = "", const std::string& body = "") {
  return method + " " + target + " HTTP/1.1\r\n" + (host.empty() ? "" : "Host: " + host + "\r\n") + extra +
         "Connection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

int Status(const std::string& answer) {
  return answer.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(answer.c_str() + 9) : 0;
}

// The web view's port, from the debugger's second line.
unsigned WebPort(DebuggerProcess& debugger) {
  const std::string prefix = "the scheme live in a web page: http://127.0.0.1:";
  if (!debugger.WaitOutput(prefix) || !debugger.WaitOutput("/\n")) return 0;
  return static_cast<unsigned>(std::stoul(debugger.Output().substr(debugger.Output().find(prefix) + prefix.size())));
}

constexpr std::uint32_t kEyesToJoin = 0x01531200;    // SliderEyes -> JoinEyes
constexpr std::uint32_t kJoinToFanOut = 0x01530E10;  // JoinEyes -> FanOutLines
constexpr std::uint32_t kFanOutToPort = 0x01530F78;  // FanOutLines -> SerialPort
constexpr std::uint32_t kPortPull = 0x01530C60;      // SerialPort <- PortChooser

TEST(TraceDebuggerProgram, HelpMistakesAndABusyPortEndItWithWhatToDo) {
  Udp busy;  // holds its port
  // A web server that lets others share its port: the web view must not share it.
  const int busyWeb = socket(AF_INET, SOCK_STREAM, 0);
  int yes = 1;
  setsockopt(busyWeb, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof local;
  ASSERT_EQ(bind(busyWeb, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
  ASSERT_EQ(listen(busyWeb, 4), 0);
  getsockname(busyWeb, reinterpret_cast<sockaddr*>(&local), &size);
  const std::string webPort = std::to_string(ntohs(local.sin_port));
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
      {{"--web", "80x"}, 2, true, "trace_debugger: --web \"80x\" is not a port (0 to 65535); see trace_debugger --help\n"},
      {{"--port", "0", "--web", webPort}, 1, true,
       "trace_debugger: --web: cannot listen on 127.0.0.1:" + webPort + ": Address already in use\n"},
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
  close(busyWeb);
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

// The web view answers only its own page: a request that names another host (a site rebinding
// its name to 127.0.0.1) or comes from another page, or a control or stream without the page's
// token, is refused and moves nothing. The page's controls and the terminal's lines answer the
// held hops alike, one after the other.
TEST(TraceDebuggerWeb, OnlyItsOwnPageWithItsTokenReadsOrSteersTheSession) {
  DebuggerProcess debugger({"--port", "0", "--web", "0"});
  const unsigned port = debugger.ListeningPort();
  const unsigned web = WebPort(debugger);
  ASSERT_TRUE(port != 0 && web != 0) << debugger.Output() << debugger.Error();
  const std::string self = "127.0.0.1:" + std::to_string(web);
  const std::string origin = "Origin: http://" + self + "\r\n";

  const std::string page = Http(web, Request("GET", "/", "localhost:" + std::to_string(web)));
  ASSERT_EQ(Status(page), 200) << page.substr(0, 300);
  EXPECT_NE(page.find("frame-ancestors 'none'"), std::string::npos) << "another page could frame it";
  EXPECT_NE(page.find("<g id=\"link_01530E10\" class=\"edge\">"), std::string::npos) << "no picture of the scheme";
  const std::size_t at = page.find("const token = '");
  ASSERT_NE(at, std::string::npos);
  const std::string token = page.substr(at + 15, 32);
  const std::string withToken = "X-Fliran-Token: " + token + "\r\n";
  const std::string json = "Content-Type: application/json\r\n";

  Udp panel;
  panel.Report(port, kEyesToJoin, 126);
  ASSERT_TRUE(debugger.WaitOutput("JoinEyes.inJoin  int 126\n"));
  struct Row {
    const char* what;
    std::string request;
    int status;
  };
  const std::string step = R"({"action":"step"})";
  const Row refused[] = {
      {"another host name", Request("GET", "/", "rebound.example:" + std::to_string(web)), 403},
      {"another port", Request("GET", "/", "127.0.0.1:" + std::to_string(web + 1)), 403},
      {"no host", Request("GET", "/", ""), 403},
      {"a stream without the token", Request("GET", "/events", self), 403},
      {"a stream with another token", Request("GET", "/events?token=" + std::string(32, '0'), self), 403},
      {"step without the token", Request("POST", "/control", self, origin + json, step), 403},
      {"step with another token",
       Request("POST", "/control", self, origin + json + "X-Fliran-Token: " + std::string(32, 'f') + "\r\n", step), 403},
      {"step with the token to another host name",
       Request("POST", "/control", "rebound.example:" + std::to_string(web), json + withToken, step), 403},
      {"step with the token from another page",
       Request("POST", "/control", self, "Origin: http://rebound.example:" + std::to_string(web) + "\r\n" + json + withToken,
               step),
       403},
      {"step with the token from a sandboxed page", Request("POST", "/control", self, "Origin: null\r\n" + withToken, step),
       403},
      {"no such action", Request("POST", "/control", self, origin + withToken, R"({"action":"jump"})"), 400},
      {"no such element",
       Request("POST", "/control", self, origin + withToken, R"({"action":"filter","elements":["Nope"]})"), 400},
  };
  for (const Row& row : refused) {
    const std::string answer = Http(web, row.request);
    EXPECT_EQ(Status(answer), row.status) << row.what << "\n" << answer;
  }
  EXPECT_EQ(panel.Command(300), std::nullopt) << "a refused request moved the panel on";

  // The page's stream, as the page reads it: the held hop and what follows.
  const int stream = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<std::uint16_t>(web));
  ASSERT_EQ(connect(stream, reinterpret_cast<const sockaddr*>(&to), sizeof to), 0);
  const std::string open = Request("GET", "/events?token=" + token, self);
  ASSERT_EQ(send(stream, open.data(), open.size(), MSG_NOSIGNAL), static_cast<ssize_t>(open.size()));
  std::string events;
  // Whether text comes in the stream after its first `from` bytes.
  const auto streamed = [&](const std::string& text, std::size_t from = 0) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (events.find(text, from) == std::string::npos && Clock::now() < end) {
      pollfd ready{stream, POLLIN, 0};
      if (poll(&ready, 1, 100) != 1) continue;
      char chunk[4096];
      const ssize_t n = recv(stream, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      events.append(chunk, static_cast<std::size_t>(n));
    }
    return events.find(text, from) != std::string::npos;
  };
  EXPECT_TRUE(streamed("\"line\":\"0x01531200 SliderEyes.outPosition -> JoinEyes.inJoin  int 126\"")) << events;
  EXPECT_TRUE(streamed("\"held\":\"01531200\"")) << events;

  // Step in the page, Enter in the terminal, Run in the page (which a hop then runs through),
  // Step in the page while running (the next hop waits), Stop in the page.
  const auto control = [&](const std::string& body) {
    return Status(Http(web, Request("POST", "/control", self, origin + json + withToken, body)));
  };
  EXPECT_EQ(control(step), 200);
  EXPECT_EQ(panel.Command(), Continue(kEyesToJoin));
  panel.Report(port, kJoinToFanOut, 2);
  ASSERT_TRUE(debugger.WaitOutput("FanOutLines.inEvent  int 2\n"));
  debugger.Type("\n");
  EXPECT_EQ(panel.Command(), Continue(kJoinToFanOut));
  panel.Report(port, kFanOutToPort, 3);
  ASSERT_TRUE(debugger.WaitOutput("SerialPort.inWrite  int 3\n"));
  EXPECT_EQ(control(R"({"action":"run"})"), 200);
  EXPECT_EQ(panel.Command(), Continue(kTraceAnyLink));
  panel.Report(port, kPortPull, 4, TraceKindPull);
  EXPECT_EQ(panel.Command(), Continue(kTraceAnyLink));
  const std::size_t running = events.size();
  EXPECT_EQ(control(step), 200);
  EXPECT_TRUE(streamed("event: state\ndata: {\"elements\":[],\"held\":null,\"running\":false}", running)) << events;
  panel.Report(port, kPortPull, 5, TraceKindPulled);
  ASSERT_TRUE(debugger.WaitOutput("PortChooser.valIndex  = int 5\n"));
  EXPECT_EQ(panel.Command(300), std::nullopt) << "the hop after Step went on unheld";
  EXPECT_EQ(control(R"({"action":"stop"})"), 200);
  EXPECT_EQ(panel.Command(), kStop);
  EXPECT_EQ(debugger.ExitCode(), 0);
  EXPECT_TRUE(streamed("event: end\ndata: {\"line\":\"5 of 5 hops shown")) << events;
  close(stream);
}

}  // namespace
}  // namespace fliran::debugger
