// TKvornCOM: the serial port through which the panel talks to the bird's controller board.
// It opens a numbered port with a fixed line setting, writes the text of every value it gets,
// reads a requested number of bytes on demand and clears the receive buffer on demand. All calls
// are synchronous; reads and writes are bounded by the time-outs set at every open.
#pragma once

#include <cstdint>
#include <string>

#include "elements/line_setting.h"
#include "runtime/debug.h"
#include "runtime/link.h"

namespace fliran {

// Owns one Win32 file handle of a serial device. The invalid handle value (all bits set) means
// that nothing is open; closing is safe in every state and always ends there. The handle is kept
// as void* so that users of the element need not include <windows.h>.
class TComHandle {
 public:
  TComHandle();
  ~TComHandle();
  TComHandle(const TComHandle&) = delete;
  TComHandle& operator=(const TComHandle&) = delete;

  void* Get() const { return handle_; }
  bool Valid() const;
  // Closes what is open (if anything) and takes ownership of handle (which may be invalid).
  void Reset(void* handle);
  // Closes what is open (if anything); the handle is invalid afterwards.
  void Close();

 private:
  void* handle_;
};

class TKvornCOM : public TDebug {
 public:
  TKvornCOM();
  ~TKvornCOM() override;

  TComHandle Handle;           // the open port, invalid while none is open
  std::uint8_t Port = 0;       // 0-based: port Port + 1 is opened when dataPort is unlinked
  std::int32_t Baud = 0;       // baud rate when dataBaud is unlinked
  std::int32_t Parity = 0;     // 0..4: none, odd, even, mark, space
  std::int32_t Timeout = 0;    // ms, copied into all five time-out fields at every open

  TKvorn_Event outWritten;     // integer: bytes written
  TKvorn_Event outRead;        // string: the bytes read
  TKvorn_Event dataBaud;       // pull point: baud rate
  TKvorn_Event dataPort;       // pull point: 1-based port number

  // Index 0: closes any open port, then opens port and baud rate as read from dataPort/dataBaud
  // with the line setting and time-outs above. Fires nothing, also when the open fails.
  void inOpen(TData* d, std::uint16_t index);
  // Index 2: discards what the driver has received and nobody has read yet. The transmit side
  // is left alone: what was written and not yet taken by the device still goes out.
  void inPurge(TData* d, std::uint16_t index);
  // Index 3: writes the text form of the value in one call and fires outWritten with the count
  // (0 when the write fails). Nothing is fired while no port is open.
  void inWrite(TData* d, std::uint16_t index);
  // Index 4: reads up to N bytes (N the integer form of the value, limited to 0..256) in one
  // call and fires them through outRead (an empty text when the read fails). Nothing is fired
  // while no port is open.
  void inRead(TData* d, std::uint16_t index);

  bool IsOpen() const { return Handle.Valid(); }
  // The Win32 handle of the open port (the invalid handle value when none is), for inspection.
  void* PortHandle() const { return Handle.Get(); }

  // The size of the receive buffer of one read.
  static constexpr std::int32_t ReadBufferSize = 256;
};

}  // namespace fliran
