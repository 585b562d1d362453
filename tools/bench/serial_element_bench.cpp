// Write benchmark, element side: opens COM<port> through TKvornCOM with the panel's settings and
// sends the slider line "95\n" <count> times through inWrite, as the panel does for each slider
// step. tools/serial-bench.sh runs it beside serial_floor_bench against a board simulator.
//
//   serial_element_bench.exe PORT COUNT
//
// Prints "calls_us <microseconds spent in the loop>" and exits 0 when every write reported its
// three bytes, 1 when the port did not open, 2 when a write fell short.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "elements/serial_port.h"
#include "runtime/link.h"

namespace {

// Sums what outWritten reports, so the program can tell whether every write went out.
struct WrittenSum : fliran::TDebug {
  std::int64_t bytes = 0;
  void inValue(fliran::TData* d, std::uint16_t) { bytes += d->IntValue; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: serial_element_bench PORT COUNT\n");
    return 3;
  }
  const int port = std::atoi(argv[1]);
  const long count = std::atol(argv[2]);

  fliran::EnableDispatch();
  fliran::TKvornCOM com;
  WrittenSum sum;
  com.Port = static_cast<std::uint8_t>(port - 1);
  com.Baud = 9600;
  com.Parity = 0;
  com.Timeout = 10;
  com.outWritten = fliran::MakeEvent<&WrittenSum::inValue>(&sum, 0, 0);

  fliran::TData none;
  com.inOpen(&none, 0);
  if (!com.IsOpen()) {
    std::fprintf(stderr, "serial_element_bench: cannot open COM%d\n", port);
    return 1;
  }

  // The joiner hands the element a fresh text value per slider step; building it is not part of
  // the write, so one value is made up front and written again and again.
  fliran::TData line;
  fliran::MakeStr(&line, "95\n");

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (long i = 0; i < count; ++i) com.inWrite(&line, 3);
  QueryPerformanceCounter(&end);

  const double us = static_cast<double>(end.QuadPart - start.QuadPart) * 1e6 /
                    static_cast<double>(frequency.QuadPart);
  std::printf("calls_us %.1f\n", us);
  return sum.bytes == 3 * static_cast<std::int64_t>(count) ? 0 : 2;
}
