// Write benchmark, floor: the least a program can do to send the slider line "95\n" <count>
// times. It opens and sets up COM<port> exactly as TKvornCOM does (same device name, line
// setting and time-outs) with plain Win32 calls, then only calls WriteFile in the loop.
//
//   serial_floor_bench.exe PORT COUNT
//
// Prints "calls_us <microseconds spent in the loop>" and exits 0 when every write reported its
// three bytes, 1 when the port did not open, 2 when a write fell short.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: serial_floor_bench PORT COUNT\n");
    return 3;
  }
  const int port = std::atoi(argv[1]);
  const long count = std::atol(argv[2]);

  const std::string name = "\\\\.\\Com" + std::to_string(port);
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "serial_floor_bench: cannot open %s\n", name.c_str());
    return 1;
  }
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(h, &dcb);
  COMMTIMEOUTS timeouts{10, 10, 10, 10, 10};
  if (!BuildCommDCBA("baud=9600 parity=N data=8 stop=1 octs=off", &dcb) || !SetCommState(h, &dcb) ||
      !SetCommTimeouts(h, &timeouts)) {
    std::fprintf(stderr, "serial_floor_bench: cannot set up %s\n", name.c_str());
    CloseHandle(h);
    return 1;
  }

  static const char line[] = "95\n";
  std::int64_t bytes = 0;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (long i = 0; i < count; ++i) {
    DWORD written = 0;
    if (WriteFile(h, line, 3, &written, nullptr)) bytes += written;
  }
  QueryPerformanceCounter(&end);
  CloseHandle(h);

  const double us = static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                    static_cast<double>(frequency.QuadPart);
  std::printf("calls_us %.1f\n", us);
  return bytes == 3 * static_cast<std::int64_t>(count) ? 0 : 2;
}
