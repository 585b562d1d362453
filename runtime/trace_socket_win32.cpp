// The trace channel over Winsock: one UDP socket for the life of the process.
#include "runtime/trace_socket.h"

#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/debug.h"
#include "runtime/trace.h"

namespace fliran {

namespace {

// The Winsock calls of the trace channel, taken from ws2_32.dll when the channel opens: an
// untraced run never loads the socket library (under Wine that is two more modules and their
// private pages in every start of the panel).
struct TWinsock {
  decltype(&::WSAStartup) Startup = nullptr;
  decltype(&::WSAGetLastError) LastError = nullptr;
  decltype(&::socket) Socket = nullptr;
  decltype(&::bind) Bind = nullptr;
  decltype(&::connect) Connect = nullptr;
  decltype(&::closesocket) Close = nullptr;
  decltype(&::send) Send = nullptr;
  decltype(&::recv) Recv = nullptr;
  decltype(&::select) Select = nullptr;

  // Loads the library and finds every call; false (and nothing usable) when one is missing.
  bool Load() {
    HMODULE ws2 = LoadLibraryW(L"ws2_32.dll");
    if (ws2 == nullptr) return false;
    const bool found = Find(ws2, "WSAStartup", Startup) && Find(ws2, "WSAGetLastError", LastError) &&
                       Find(ws2, "socket", Socket) && Find(ws2, "bind", Bind) && Find(ws2, "connect", Connect) &&
                       Find(ws2, "closesocket", Close) && Find(ws2, "send", Send) && Find(ws2, "recv", Recv) &&
                       Find(ws2, "select", Select);
    if (!found) FreeLibrary(ws2);
    return found;
  }

 private:
  template <class F>
  static bool Find(HMODULE module, const char* name, F& call) {
    call = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return call != nullptr;
  }
};

TWinsock winsock;

class TWinsockTransport final : public TTraceTransport {
 public:
  SOCKET Socket = INVALID_SOCKET;

  void Send(const std::uint8_t* bytes, std::size_t length) override {
    winsock.Send(Socket, reinterpret_cast<const char*>(bytes), static_cast<int>(length), 0);
  }

  // A socket that select reports readable is read even when no bytes wait: a connected UDP
  // socket also turns readable for the error left by a report that found no debugger listening,
  // and the read takes that error away instead of finding it again on every poll.
  bool Receive(TTraceCommand* command) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Socket, &readable);
    timeval wait{0, 500};
    if (winsock.Select(0, &readable, nullptr, nullptr, &wait) != 1) return false;
    std::uint8_t buffer[8] = {};
    // A longer datagram fills the 8 bytes and reports WSAEMSGSIZE: its first 8 bytes count.
    if (winsock.Recv(Socket, reinterpret_cast<char*>(buffer), sizeof buffer, 0) == SOCKET_ERROR &&
        winsock.LastError() != WSAEMSGSIZE) {
      return false;
    }
    command->Command = GetWord(buffer);
    command->LinkId = GetWord(buffer + 4);
    return true;
  }
};

// Never closed: the process exit releases it.
TWinsockTransport traceSocket;
bool socketTried = false;
std::uint16_t debuggerPort = kTraceDefaultPort;

void OpenForFirstElement() { OpenTraceSocket(debuggerPort); }

}  // namespace

bool OpenTraceSocket(std::uint16_t port) {
  if (socketTried) return TracingOn();
  socketTried = true;
  if (!winsock.Load()) return false;
  WSADATA data;
  if (winsock.Startup(MAKEWORD(1, 1), &data) != 0) return false;
  const SOCKET s = winsock.Socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  // 127.0.0.1 and the port in network byte order (most significant byte first in memory).
  const std::uint8_t loopback[4] = {127, 0, 0, 1};
  std::memcpy(&local.sin_addr.s_addr, loopback, sizeof loopback);
  sockaddr_in debugger = local;
  const std::uint8_t portBytes[2] = {static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port & 0xFF)};
  std::memcpy(&debugger.sin_port, portBytes, sizeof portBytes);
  if (winsock.Bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      winsock.Connect(s, reinterpret_cast<const sockaddr*>(&debugger), sizeof debugger) != 0) {
    winsock.Close(s);
    return false;
  }
  traceSocket.Socket = s;
  StartTracing(&traceSocket);
  return true;
}

void ApplyTraceSwitch() {
  std::string problem;
  const std::optional<std::uint16_t> port =
      TracePortFromSwitch(std::getenv("FLIRAN_TRACE"), std::getenv("FLIRAN_TRACE_PORT"), &problem);
  // The panel has no console of its own, but a standard error handed down to it (a terminal under
  // Wine, a redirection) shows the line; without one it goes nowhere, as everything else does.
  if (!problem.empty()) std::fprintf(stderr, "fliran-panel: %s\n", problem.c_str());
  if (!port) return;
  debuggerPort = *port;
  TraceSocketOpener = &OpenForFirstElement;
}

}  // namespace fliran
