// The trace channel's socket against a real UDP listener on 127.0.0.1: exact datagrams, commands
// only from the debugger's own address, the stop, and the switch off. Every test case runs in a
// process of its own, so each one sees the first element of its process.

// Winsock first: Wine's Winsock header (the winelib build) must come before the C library's.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "runtime/link.h"
#include "runtime/trace.h"
#include "runtime/trace_socket.h"
#include "tests/core/test_points.h"

namespace fliran {
namespace {

using testing::Recorder;
using testing::ValueSource;
using Bytes = std::vector<std::uint8_t>;

// A UDP socket bound to 127.0.0.1 on a port of the system's choosing.
class Udp {
 public:
  Udp() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    int size = sizeof address_;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address_), &size);
  }
  ~Udp() {
    closesocket(socket_);
    WSACleanup();
  }
  Udp(const Udp&) = delete;
  Udp& operator=(const Udp&) = delete;

  std::uint16_t Port() const { return ntohs(address_.sin_port); }
  const sockaddr_in& Address() const { return address_; }

  // The next datagram within 10 s (empty when none came) and where it came from.
  Bytes Receive(sockaddr_in* from = nullptr) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait{10, 0};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) return {};
    std::uint8_t buffer[512];
    sockaddr_in source{};
    int size = sizeof source;
    const int got = recvfrom(socket_, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                             reinterpret_cast<sockaddr*>(&source), &size);
    if (from != nullptr) *from = source;
    return got > 0 ? Bytes(buffer, buffer + got) : Bytes{};
  }
  void SendTo(const sockaddr_in& to, const Bytes& bytes) {
    sendto(socket_, reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()), 0,
           reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  void SendCommand(const sockaddr_in& to, std::uint32_t command, std::uint32_t linkId) {
    Bytes bytes(8);
    PutWord(&bytes[0], command);
    PutWord(&bytes[4], linkId);
    SendTo(to, bytes);
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  sockaddr_in address_{};
};

// A body run on a platform thread, joined at destruction. Not std::thread: in the winelib build that
// is a Linux thread, which Wine does not know and which cannot call Winsock.
class TPlatformThread {
 public:
  explicit TPlatformThread(std::function<void()> body) : body_(std::move(body)) {
    handle_ = CreateThread(nullptr, 0, &TPlatformThread::Run, this, 0, nullptr);
  }
  ~TPlatformThread() { Join(); }
  TPlatformThread(const TPlatformThread&) = delete;
  TPlatformThread& operator=(const TPlatformThread&) = delete;
  void Join() {
    if (handle_ == nullptr) return;
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<TPlatformThread*>(self)->body_();
    return 0;
  }
  std::function<void()> body_;
  HANDLE handle_ = nullptr;
};

// In the C runtime's environment, where the program reads the switch (std::getenv); a winelib
// build's C runtime is the Linux one.
void SetSwitch(const char* trace, std::uint16_t port) {
  const std::string portText = std::to_string(port);
#ifdef __WINE__
  setenv("FLIRAN_TRACE", trace, 1);
  setenv("FLIRAN_TRACE_PORT", portText.c_str(), 1);
#else
  _putenv_s("FLIRAN_TRACE", trace);
  _putenv_s("FLIRAN_TRACE_PORT", portText.c_str());
#endif
}

TEST(TraceSocket, DebuggerGetsExactDatagramsAndOnlyItsOwnCommandsCount) {
  Udp debugger;
  Udp stranger;
  SetSwitch("1", debugger.Port());
  ApplyTraceSwitch();
  EnableDispatch();
  Recorder sink;  // the first element of the process opens the socket
  ASSERT_TRUE(TracingOn());

  std::vector<Bytes> received;
  sockaddr_in panel{};
  TPlatformThread debuggerSide([&] {
    received.push_back(debugger.Receive(&panel));
    // A stop from another socket must not reach the channel; the continue from the debugger
    // (sent after it) releases the hop.
    stranger.SendCommand(panel, TraceCommandStop, kTraceAnyLink);
    debugger.SendCommand(panel, TraceCommandContinue, 7);
    received.push_back(debugger.Receive());
    received.push_back(debugger.Receive());
    debugger.SendCommand(panel, TraceCommandStop, 0);
    received.push_back(debugger.Receive());
  });
  FireInt(sink.Link(0, 7), 42);
  FireStr(sink.Link(0, 8), "12\n");
  debuggerSide.Join();
  FireInt(sink.Link(0, 7), 2);  // after the stop: sent nothing, waited for nothing
  stranger.SendTo(debugger.Address(), Bytes{'e', 'n', 'd'});

  EXPECT_EQ(sink.values.size(), 3u);
  EXPECT_FALSE(TracingOn());
  EXPECT_EQ(panel.sin_addr.s_addr, inet_addr("127.0.0.1"));
  ASSERT_EQ(received.size(), 4u);
  EXPECT_EQ(received[0], (Bytes{3, 0, 0, 0, 7, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 42, 0, 0, 0}));
  EXPECT_EQ(received[1], (Bytes{4, 0, 0, 0, 7, 0, 0, 0}));
  EXPECT_EQ(received[2], (Bytes{3, 0, 0, 0, 8, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, '1', '2', '\n'}));
  EXPECT_EQ(received[3], (Bytes{4, 0, 0, 0, 8, 0, 0, 0}));
  EXPECT_EQ(debugger.Receive(), (Bytes{'e', 'n', 'd'}));  // whatever came after the stop comes first
  DisableDispatch();
}

TEST(TraceSocket, WithoutTheSwitchNothingIsSentAndNothingWaits) {
  Udp debugger;
  Udp marker;
  SetSwitch("0", debugger.Port());  // the port alone does not turn tracing on
  ApplyTraceSwitch();
  EnableDispatch();
  Recorder sink;
  ValueSource source;
  source.value.Tag = TagInt;
  FireInt(sink.Link(0, 7), 1);
  TData input;
  ReadInteger(&input, source.Link(0, 9), 0);
  marker.SendTo(debugger.Address(), Bytes{'e', 'n', 'd'});
  EXPECT_EQ(debugger.Receive(), (Bytes{'e', 'n', 'd'}));
  EXPECT_FALSE(TracingOn());
  EXPECT_EQ(DispatchHooks.Fire, &DispatchEvent);
  EXPECT_EQ(sink.values.size(), 1u);
  DisableDispatch();
}

}  // namespace
}  // namespace fliran
