// TKvornCOM over the Win32 serial calls (ANSI forms, synchronous handles).
#include "elements/serial_port.h"

#include <windows.h>

#include <algorithm>
#include <limits>

namespace fliran {

// --- TComHandle --------------------------------------------------------------------------------

TComHandle::TComHandle() : handle_(INVALID_HANDLE_VALUE) {}

TComHandle::~TComHandle() { Close(); }

bool TComHandle::Valid() const { return handle_ != INVALID_HANDLE_VALUE; }

void TComHandle::Reset(void* handle) {
  Close();
  handle_ = handle;
}

void TComHandle::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

// --- TKvornCOM ---------------------------------------------------------------------------------

TKvornCOM::TKvornCOM() = default;  // Handle starts invalid: no port is open

TKvornCOM::~TKvornCOM() { Handle.Close(); }

void TKvornCOM::inOpen(TData* d, std::uint16_t) {
  Handle.Close();

  COMMTIMEOUTS timeouts;
  const auto ms = static_cast<DWORD>(Timeout);
  timeouts.ReadIntervalTimeout = ms;
  timeouts.ReadTotalTimeoutMultiplier = ms;
  timeouts.ReadTotalTimeoutConstant = ms;
  timeouts.WriteTotalTimeoutMultiplier = ms;
  timeouts.WriteTotalTimeoutConstant = ms;

  // The port number is read first. Its default Port + 1 is never 0, so the input value is
  // neither used nor consumed for it; the baud rate takes (and consumes) the input value only
  // when dataBaud is unlinked and Baud is 0.
  const std::int32_t port = ReadInteger(d, dataPort, static_cast<std::int32_t>(Port) + 1);
  const std::int32_t baud = ReadInteger(d, dataBaud, Baud);

  const std::string name = DeviceName(port);
  Handle.Reset(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!Handle.Valid()) return;

  // The line-setting text is applied over the port's current record, so whatever it does not
  // name keeps its present value.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(Handle.Get(), &dcb);
  const std::string settings = LineSettingText(baud, Parity);
  const bool applied = BuildCommDCBA(settings.c_str(), &dcb) && SetCommState(Handle.Get(), &dcb) &&
                       SetCommTimeouts(Handle.Get(), &timeouts);
  if (!applied) Handle.Close();
}

void TKvornCOM::inPurge(TData*, std::uint16_t) {
  if (!Handle.Valid()) return;
  PurgeComm(Handle.Get(), PURGE_RXCLEAR);
}

void TKvornCOM::inWrite(TData* d, std::uint16_t) {
  const std::string text = ToString(*d);
  if (!Handle.Valid()) return;
  // One call for the whole text. A text beyond 4 GiB cannot occur on this path; the length is
  // limited only so that the conversion is exact.
  const auto length =
      static_cast<DWORD>(std::min<std::size_t>(text.size(), std::numeric_limits<DWORD>::max()));
  DWORD written = 0;
  if (!WriteFile(Handle.Get(), text.data(), length, &written, nullptr)) written = 0;
  FireInt(outWritten, static_cast<std::int32_t>(written));
}

void TKvornCOM::inRead(TData* d, std::uint16_t) {
  // A request above 256 or below 0 would reach outside the 256-byte buffer, so N is limited to
  // 0..256: a larger request reads at most 256 bytes, a negative one reads nothing.
  const std::int32_t n = std::clamp(ToInteger(*d), std::int32_t{0}, ReadBufferSize);
  std::string buffer(static_cast<std::size_t>(ReadBufferSize), '\0');
  if (!Handle.Valid()) return;
  DWORD read = 0;
  if (!ReadFile(Handle.Get(), buffer.data(), static_cast<DWORD>(n), &read, nullptr)) read = 0;
  buffer.resize(std::min<std::size_t>(read, static_cast<std::size_t>(n)));
  FireStr(outRead, std::move(buffer));
}

}  // namespace fliran
