// The trace debugger: listens on 127.0.0.1 for the panel's hop reports, prints one line per hop
// and tells the panel when each hop may go on.
//
//   trace_debugger [--port N] [--run] [--element NAME]... [--time]
//
//   --port N        the UDP port (the panel's FLIRAN_TRACE_PORT; default 120; 0: any free port)
//   --run           run freely: every hop goes on at once (continue for any link)
//   --element NAME  show and hold only hops from or to this element; others go on at once
//   --time          put the seconds since the first hop before each line
//
// Stepping (without --run), after each hop line: Enter lets this hop go on, "r" and Enter runs
// freely from here, "s" and Enter stops tracing (the panel goes on untraced) and quits. Ctrl-C
// or the end of the input stops tracing too.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "runtime/trace.h"
#include "tools/trace_debugger/hop_line.h"

namespace {

using namespace fliran;
using namespace fliran::debugger;

#ifdef _WIN32
using TSocket = SOCKET;
constexpr TSocket kNoSocket = INVALID_SOCKET;
void CloseSocket(TSocket s) { closesocket(s); }
#else
using TSocket = int;
constexpr TSocket kNoSocket = -1;
void CloseSocket(TSocket s) { close(s); }
#endif

volatile std::sig_atomic_t interrupted = 0;
void OnInterrupt(int) { interrupted = 1; }

struct TOptions {
  unsigned port = kTraceDefaultPort;
  bool run = false;
  bool time = false;
  std::vector<std::string> elements;
};

bool ParseOptions(int argc, char** argv, TOptions* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--run") {
      options->run = true;
    } else if (arg == "--time") {
      options->time = true;
    } else if (arg == "--port" && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long port = std::strtoul(argv[++i], &end, 10);
      if (*end != '\0' || port > 65535) return false;
      options->port = static_cast<unsigned>(port);
    } else if (arg == "--element" && i + 1 < argc) {
      options->elements.emplace_back(argv[++i]);
    } else {
      return false;
    }
  }
  return true;
}

// The debugger's socket on 127.0.0.1.
class TListener {
 public:
  explicit TListener(unsigned port) {
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
#endif
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket_ == kNoSocket) return;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr("127.0.0.1");
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      CloseSocket(socket_);
      socket_ = kNoSocket;
      return;
    }
    socklen_t size = sizeof local;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &size);
    port_ = ntohs(local.sin_port);
  }
  ~TListener() {
    if (socket_ != kNoSocket) CloseSocket(socket_);
  }
  TListener(const TListener&) = delete;
  TListener& operator=(const TListener&) = delete;

  bool Open() const { return socket_ != kNoSocket; }
  unsigned Port() const { return port_; }

  // The next datagram, waiting at most 200 ms (so an interrupt is seen); its length, 0 for none.
  std::size_t Receive(std::uint8_t* buffer, std::size_t size, sockaddr_in* from) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait{0, 200000};
    if (select(static_cast<int>(socket_) + 1, &readable, nullptr, nullptr, &wait) != 1) return 0;
    socklen_t fromSize = sizeof *from;
    const auto got = recvfrom(socket_, reinterpret_cast<char*>(buffer), static_cast<int>(size), 0,
                              reinterpret_cast<sockaddr*>(from), &fromSize);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
  }

  void Command(const sockaddr_in& to, std::uint32_t command, std::uint32_t linkId) {
    std::uint8_t bytes[8];
    PutWord(bytes, command);
    PutWord(bytes + 4, linkId);
    sendto(socket_, reinterpret_cast<const char*>(bytes), sizeof bytes, 0, reinterpret_cast<const sockaddr*>(&to),
           sizeof to);
  }

 private:
  TSocket socket_ = kNoSocket;
  unsigned port_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr, "usage: trace_debugger [--port N] [--run] [--element NAME]... [--time]\n");
    return 2;
  }
#ifdef _WIN32
  std::signal(SIGINT, OnInterrupt);
#else
  struct sigaction action {};
  action.sa_handler = OnInterrupt;  // no SA_RESTART: a waiting read of the input ends
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif

  TListener listener(options.port);
  if (!listener.Open()) {
    std::fprintf(stderr, "trace_debugger: cannot listen on 127.0.0.1:%u\n", options.port);
    return 1;
  }
  std::printf("listening on 127.0.0.1:%u\n", listener.Port());
  std::fflush(stdout);

  bool running = options.run;
  bool havePanel = false;
  sockaddr_in panel{};
  long long hops = 0;
  std::chrono::steady_clock::time_point first;
  std::chrono::steady_clock::time_point last;
  std::uint8_t buffer[1024];
  while (interrupted == 0) {
    sockaddr_in from{};
    const std::size_t length = listener.Receive(buffer, sizeof buffer, &from);
    THop hop;
    if (length == 0 || !ReadHop(buffer, length, &hop)) continue;  // acknowledges say nothing new
    panel = from;
    havePanel = true;
    const auto now = std::chrono::steady_clock::now();
    if (hops++ == 0) first = now;
    last = now;

    bool shown = options.elements.empty();
    for (const std::string& element : options.elements) shown = shown || HopConcerns(hop, element);
    if (!shown) {
      listener.Command(from, TraceCommandContinue, hop.LinkId);
      continue;
    }
    if (options.time) std::printf("%10.6f ", std::chrono::duration<double>(now - first).count());
    std::printf("%s\n", HopLine(buffer, length).c_str());
    std::fflush(stdout);
    if (running) {
      listener.Command(from, TraceCommandContinue, kTraceAnyLink);
      continue;
    }
    std::string answer;
    if (!std::getline(std::cin, answer) || answer == "s" || answer == "q") break;
    if (answer == "r") running = true;
    listener.Command(from, TraceCommandContinue, running ? kTraceAnyLink : hop.LinkId);
  }
  // Whatever ended the session, the panel goes on untraced instead of waiting for us.
  if (havePanel) {
    listener.Command(panel, TraceCommandStop, kTraceAnyLink);
    std::printf("tracing stopped\n");
    std::fflush(stdout);
  }
  if (hops > 1) {
    const double seconds = std::chrono::duration<double>(last - first).count();
    std::fprintf(stderr, "%lld hops in %.3f s from the first to the last\n", hops, seconds);
  }
  return 0;
}
