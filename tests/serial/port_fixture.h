// A serial port element set up as the panel sets it up (Port 4, 9600 baud, no parity, 10 ms
// time-outs), with recorders on both outputs and shorthands for its four inputs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "board.h"
#include "elements/serial_port.h"
#include "tests/core/test_points.h"

namespace fliran::testing {

class SerialPort : public WithDispatch {
 protected:
  TKvornCOM com;
  Recorder written;
  Recorder read;
  ValueSource portSource;  // linked to dataPort by OpenPort
  Board com3{3};
  Board com5{5};

  void SetUp() override {
    WithDispatch::SetUp();
    com.Port = 4;
    com.Baud = 9600;
    com.Parity = 0;
    com.Timeout = 10;
    com.outWritten = written.Link();
    com.outRead = read.Link();
  }

  void Open(TData value = TData{}) { com.inOpen(&value, 0); }

  // Opens port number n through a linked dataPort, as the panel's combo box does.
  void OpenPort(std::int32_t n) {
    portSource.value = IntValue(n);
    com.dataPort = portSource.Link();
    Open();
  }

  void Write(TData value) { com.inWrite(&value, 3); }
  void Write(const std::string& text) { Write(StrValue(text)); }
  void Read(std::int32_t n) {
    TData value = IntValue(n);
    com.inRead(&value, 4);
  }
  void Purge() {
    TData value;
    com.inPurge(&value, 2);
  }

  // Runs Read(n) and returns how long it took.
  std::chrono::milliseconds TimedRead(std::int32_t n) {
    const auto start = std::chrono::steady_clock::now();
    Read(n);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }

  std::int32_t LastWritten() const { return written.values.empty() ? -1 : written.values.back().IntValue; }
  std::string LastRead() const { return read.values.empty() ? "<nothing fired>" : read.values.back().StrValue; }

  // Waits until at least count bytes wait in the open port's receive queue, as the driver counts
  // them: the bytes a board has sent have then certainly reached this side.
  bool WaitArrived(std::size_t count) const {
    return WaitUntil([&] {
      DWORD errors = 0;
      COMSTAT status{};
      return ClearCommError(com.PortHandle(), &errors, &status) && status.cbInQue >= count;
    });
  }

  DCB State() const {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    EXPECT_TRUE(GetCommState(com.PortHandle(), &dcb));
    return dcb;
  }
};

}  // namespace fliran::testing
