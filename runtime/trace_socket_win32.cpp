// The trace channel over Winsock: one UDP socket for the life of the process.
#include "runtime/trace_socket.h"

#include <winsock2.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/debug.h"
#include "runtime/trace.h"

namespace fliran {

namespace {

class TWinsockTransport final : public TTraceTransport {
 public:
  SOCKET Socket = INVALID_SOCKET;

  void Send(const std::uint8_t* bytes, std::size_t length) override {
    send(Socket, reinterpret_cast<const char*>(bytes), static_cast<int>(length), 0);
  }

  // A socket that select reports readable is read even when no bytes wait: a connected UDP
  // socket also turns readable for the error left by a report that found no debugger listening,
  // and the read takes that error away instead of finding it again on every poll.
  bool Receive(TTraceCommand* command) override {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Socket, &readable);
    timeval wait{0, 500};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) return false;
    std::uint8_t buffer[8] = {};
    // A longer datagram fills the 8 bytes and reports WSAEMSGSIZE: its first 8 bytes count.
    if (recv(Socket, reinterpret_cast<char*>(buffer), sizeof buffer, 0) == SOCKET_ERROR &&
        WSAGetLastError() != WSAEMSGSIZE) {
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
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return false;
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = inet_addr("127.0.0.1");
  sockaddr_in debugger = local;
  debugger.sin_port = htons(port);
  if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      connect(s, reinterpret_cast<const sockaddr*>(&debugger), sizeof debugger) != 0) {
    closesocket(s);
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
