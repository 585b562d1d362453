// The trace debugger: listens on 127.0.0.1 for the panel's hop reports, prints one line per hop
// and tells the panel when each hop may go on, and at the end the hops per link (--summary, and
// on the scheme's graph with --dot). With --web it also shows the hops on the picture of the
// scheme in a web page whose buttons answer like the terminal (web_view.h). trace_debugger --help
// tells how to use it; the decisions (options, answers, which sender is the panel, the tally, the
// closing line) are in session.h.
//
// One thread decides: it waits for a report, a typed line or a control of the page, whichever
// comes, and hands each to the one TStepper. The web view's own threads only serve the page.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "runtime/trace.h"
#include "tools/trace_debugger/hop_line.h"
#include "tools/trace_debugger/session.h"
#ifdef FLIRAN_WEB_VIEW
#include "tools/trace_debugger/web_view.h"
#endif

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

// Why the last socket call failed.
struct TSocketError {
  TListenFailure Failure = TListenFailure::Other;
  std::string Reason;
};
TSocketError LastSocketError() {
#ifdef _WIN32
  const int code = WSAGetLastError();
  if (code == WSAEACCES) return {TListenFailure::Denied, "permission denied"};
  if (code == WSAEADDRINUSE) return {TListenFailure::InUse, "address already in use"};
  return {TListenFailure::Other, "socket error " + std::to_string(code)};
#else
  const int code = errno;
  const TListenFailure failure = code == EACCES || code == EPERM ? TListenFailure::Denied
                                 : code == EADDRINUSE            ? TListenFailure::InUse
                                                                 : TListenFailure::Other;
  return {failure, std::strerror(code)};
#endif
}

// The debugger's socket on 127.0.0.1.
class TListener {
 public:
  explicit TListener(unsigned port) {
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
      error_ = {TListenFailure::Other, "no sockets (WSAStartup failed)"};
      return;
    }
#endif
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (socket_ == kNoSocket) {
      error_ = LastSocketError();
      return;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr("127.0.0.1");
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
      error_ = LastSocketError();
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
  const TSocketError& Error() const { return error_; }
  unsigned Port() const { return port_; }

  // The next datagram, waiting at most 200 ms (so an interrupt is seen), and no longer once the
  // file descriptor wake (if any, on Linux) is readable; its length, 0 for none.
  std::size_t Receive(std::uint8_t* buffer, std::size_t size, TSender* from, [[maybe_unused]] int wake = -1) {
#ifdef _WIN32
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait{0, 200000};
    if (select(static_cast<int>(socket_) + 1, &readable, nullptr, nullptr, &wait) != 1) return 0;
#else
    // The page's controls first: one that was taken before a report came is answered before it.
    pollfd ready[2] = {{socket_, POLLIN, 0}, {wake, POLLIN, 0}};
    if (poll(ready, 2, 200) <= 0 || (ready[1].revents & POLLIN) != 0 || (ready[0].revents & POLLIN) == 0) return 0;
#endif
    sockaddr_in source{};
    socklen_t sourceSize = sizeof source;
    const auto got = recvfrom(socket_, reinterpret_cast<char*>(buffer), static_cast<int>(size), 0,
                              reinterpret_cast<sockaddr*>(&source), &sourceSize);
    *from = TSender{ntohl(source.sin_addr.s_addr), ntohs(source.sin_port)};
    return got > 0 ? static_cast<std::size_t>(got) : 0;
  }

  void Command(const TSender& to, std::uint32_t command, std::uint32_t linkId) {
    std::uint8_t bytes[8];
    PutWord(bytes, command);
    PutWord(bytes + 4, linkId);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(to.Address);
    address.sin_port = htons(to.Port);
    sendto(socket_, reinterpret_cast<const char*>(bytes), sizeof bytes, 0, reinterpret_cast<const sockaddr*>(&address),
           sizeof address);
  }

 private:
  TSocket socket_ = kNoSocket;
  unsigned port_ = 0;
  TSocketError error_;
};

// The answers typed on standard input, a line at a time, read unbuffered by the C library so
// that what was typed ahead can be dropped: from a terminal (or console) and from a pipe. A
// file stays whole: it is a script of answers given on purpose.
class TInput {
 public:
  enum class TWait { Line, Woken, Ended };
  // The next line, as ReadLine takes it; or, on Linux, Woken as soon as the file descriptor wake
  // is readable. With a wake the end of the input is not the end: the page still answers, so
  // only an interrupt ends the wait then.
  TWait WaitLine(std::string* line, [[maybe_unused]] int wake) {
#ifdef _WIN32
    return ReadLine(line) ? TWait::Line : TWait::Ended;
#else
    if (wake < 0) return ReadLine(line) ? TWait::Line : TWait::Ended;
    for (;;) {
      const std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        *line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return TWait::Line;
      }
      if (interrupted != 0) return TWait::Ended;
      if (ended_ && TakeLastLine(line)) return TWait::Line;
      // Short waits, so that an interrupt that came just before the wait is seen.
      pollfd ready[2] = {{ended_ ? -1 : STDIN_FILENO, POLLIN, 0}, {wake, POLLIN, 0}};
      if (poll(ready, 2, 200) <= 0) continue;
      if ((ready[1].revents & POLLIN) != 0) return TWait::Woken;
      if (ready[0].revents == 0) continue;
      char chunk[256];
      const long got = ReadSome(chunk, sizeof chunk);
      if (got <= 0) {
        ended_ = true;
      } else {
        pending_.append(chunk, static_cast<std::size_t>(got));
      }
    }
#endif
  }

  // The next line without its line feed (a last line may lack it); false at the end of the
  // input, on an error, or once an interrupt came.
  bool ReadLine(std::string* line) {
    for (;;) {
      const std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        *line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return true;
      }
      if (interrupted != 0) return false;
      if (ended_) return TakeLastLine(line);
      char chunk[256];
      const long got = ReadSome(chunk, sizeof chunk);
      if (got <= 0) {
        ended_ = true;
        return TakeLastLine(line);
      }
      pending_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  // Drops what was typed and not yet taken.
  void DropTypedAhead() {
#ifdef _WIN32
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    switch (GetFileType(in)) {
      case FILE_TYPE_CHAR:
        if (GetConsoleMode(in, &mode)) FlushConsoleInputBuffer(in);
        break;
      case FILE_TYPE_PIPE:
        for (DWORD waiting = 0; PeekNamedPipe(in, nullptr, 0, nullptr, &waiting, nullptr) && waiting > 0;) {
          char chunk[256];
          DWORD got = 0;
          if (!ReadFile(in, chunk, std::min<DWORD>(waiting, sizeof chunk), &got, nullptr) || got == 0) break;
        }
        break;
      default:
        return;
    }
#else
    struct stat status {};
    if (fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode)) return;
    if (isatty(STDIN_FILENO)) {
      tcflush(STDIN_FILENO, TCIFLUSH);
    } else {
      for (;;) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 0) != 1) break;
        char chunk[256];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got == 0) ended_ = true;
        if (got <= 0) break;
      }
    }
#endif
    pending_.clear();
  }

 private:
  std::string pending_;
  bool ended_ = false;

  bool TakeLastLine(std::string* line) {
    if (pending_.empty()) return false;
    *line = pending_;
    pending_.clear();
    return true;
  }

  static long ReadSome(char* buffer, std::size_t size) {
#ifdef _WIN32
    DWORD got = 0;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
    return static_cast<long>(got);
#else
    return static_cast<long>(read(STDIN_FILENO, buffer, size));  // an interrupt ends it (no SA_RESTART)
#endif
  }
};

void PrintLine(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  const std::string error = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &options);
  if (!error.empty()) {
    std::fprintf(stderr, "trace_debugger: %s\n", error.c_str());
    return 2;
  }
  if (options.Help) {
    std::fputs(HelpText().c_str(), stdout);
    return 0;
  }
#ifdef _WIN32
  std::signal(SIGINT, OnInterrupt);
#else
  struct sigaction action {};
  action.sa_handler = OnInterrupt;  // no SA_RESTART: a waiting read of the input ends
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
#endif

#ifndef FLIRAN_WEB_VIEW
  if (options.Web) {
    std::fprintf(stderr, "trace_debugger: --web: this build has no web view (the Windows build has none); use the "
                         "Linux build, build/native/trace_debugger\n");
    return 2;
  }
#endif

  TListener listener(options.Port);
  if (!listener.Open()) {
    std::fprintf(stderr, "%s\n",
                 ListenFailureText(options.Port, listener.Error().Failure, listener.Error().Reason).c_str());
    return 1;
  }
  // The file for --dot is taken before the first hop, so that a name it cannot be written under
  // ends the session before it starts rather than lose its counts at the end.
  std::unique_ptr<std::FILE, decltype(&std::fclose)> dotFile(nullptr, &std::fclose);
  if (!options.DotFile.empty()) {
    dotFile.reset(std::fopen(options.DotFile.c_str(), "wb"));
    if (dotFile == nullptr) {
      std::fprintf(stderr, "trace_debugger: cannot write %s: %s\n", options.DotFile.c_str(), std::strerror(errno));
      return 1;
    }
  }
  int wake = -1;  // readable when the page has sent controls
#ifdef FLIRAN_WEB_VIEW
  std::unique_ptr<TWebView> web;
  if (options.Web) {
    web = std::make_unique<TWebView>(options.WebPort);
    if (!web->Open()) {
      std::fprintf(stderr, "trace_debugger: --web: %s\n", web->Error().c_str());
      return 1;
    }
    wake = web->WakeHandle();
  }
#endif

  PrintLine("listening on 127.0.0.1:" + std::to_string(listener.Port()));
#ifdef FLIRAN_WEB_VIEW
  if (web) PrintLine("the scheme live in a web page: " + web->Url());
#endif

  int exitCode = 0;
  TInput input;
  TSenderFilter senders;
  THopTally tally;
  TStepper stepper(options.Run, options.Elements);
#ifdef FLIRAN_WEB_VIEW
  if (web) web->State(stepper);
#endif
  long long hops = 0;
  long long shown = 0;
  bool stopped = false;
  std::chrono::steady_clock::time_point first;
  std::chrono::steady_clock::time_point last;
  std::uint8_t buffer[1024];
  // Tells the panel what an answer decided; whether the session goes on.
  const auto answer = [&](TAnswer given) {
    const TStepper::TTurn turn = stepper.Answer(given);
    if (turn.Continue && senders.Panel()) listener.Command(*senders.Panel(), TraceCommandContinue, *turn.Continue);
#ifdef FLIRAN_WEB_VIEW
    if (web) web->State(stepper);
#endif
    return !turn.Stop;
  };
  while (interrupted == 0 && !stopped) {
#ifdef FLIRAN_WEB_VIEW
    if (web) {
      for (const TWebControl& control : web->TakeControls()) {
        if (control.Elements) {
          stepper.SetElements(*control.Elements);
          web->State(stepper);
        }
        if (control.Answer && !answer(*control.Answer)) {
          stopped = true;
          break;
        }
      }
      if (stopped) break;
    }
#endif
    if (stepper.Held()) {
      // The panel waits: for a line typed here or a button of the page.
      std::string typed;
      const TInput::TWait got = input.WaitLine(&typed, wake);
      if (got == TInput::TWait::Woken) continue;
      const TAnswer given = got == TInput::TWait::Ended ? TAnswer::Stop : ReadAnswer(typed);
      if (given == TAnswer::Again) {
        PrintLine(kAskAgain);
        continue;
      }
      if (!answer(given)) break;
      continue;
    }
    TSender from;
    const std::size_t length = listener.Receive(buffer, sizeof buffer, &from, wake);
    if (length == 0) continue;
    THop hop;
    const bool report = ReadHop(buffer, length, &hop);
    std::string note;
    if (!senders.Accept(from, report, &note)) {
      if (!note.empty()) std::fprintf(stderr, "%s\n", note.c_str());
      continue;
    }
    if (!report) continue;  // acknowledges say nothing new
    const TSender panel = *senders.Panel();
    const auto now = std::chrono::steady_clock::now();
    if (hops++ == 0) first = now;
    last = now;
    tally.Count(hop);
    const double seconds = std::chrono::duration<double>(now - first).count();

    const TStepper::TTurn turn = stepper.Hop(hop);
    std::string line;
    if (turn.Shown) {
      ++shown;
      // Whatever was typed before this line could be seen is not an answer to it.
      if (stepper.Held()) input.DropTypedAhead();
      line = HopLine(buffer, length);
      if (options.Time) {
        char time[32];
        std::snprintf(time, sizeof time, "%10.6f ", seconds);
        PrintLine(time + line);
      } else {
        PrintLine(line);
      }
    }
#ifdef FLIRAN_WEB_VIEW
    if (web) {
      TWebHop shownHop{hop, seconds, line, hop.Kind == TraceKindPull ? "" : ValueText(buffer, length), turn.Shown,
                       tally.CountOf(hop.LinkId)};
      web->Hop(shownHop);
      web->State(stepper);
    }
#endif
    if (turn.Continue) listener.Command(panel, TraceCommandContinue, *turn.Continue);
  }
  // Whatever ended the session, the panel goes on untraced instead of waiting for us.
  if (senders.Panel()) {
    listener.Command(*senders.Panel(), TraceCommandStop, kTraceAnyLink);
    PrintLine("tracing stopped");
  }
  if (options.Summary) std::fputs(tally.Summary().c_str(), stdout);
  if (dotFile != nullptr) {
    const std::string dot = SchemeDot(&tally.PerLink());
    const bool written = std::fwrite(dot.data(), 1, dot.size(), dotFile.get()) == dot.size();
    if (std::fclose(dotFile.release()) == 0 && written) {
      PrintLine("the scheme with the hops per link: " + options.DotFile);
    } else {
      std::fprintf(stderr, "trace_debugger: writing %s failed\n", options.DotFile.c_str());
      exitCode = 1;
    }
  }
  const std::string closing = SummaryLine(shown, hops, std::chrono::duration<double>(last - first).count());
#ifdef FLIRAN_WEB_VIEW
  if (web) web->End(closing);
#endif
  PrintLine(closing);
  return exitCode;
}
