// The trace channel's socket and its switch: with FLIRAN_TRACE=1 in the environment the first
// element opens one UDP socket to the debugger at 127.0.0.1 (port FLIRAN_TRACE_PORT, 120 when unset)
// and every hop is reported through it. Without the switch no socket is opened.
#pragma once

#include <cstdint>

namespace fliran {

// Reads the switch from the environment; when it is on, the construction of the first element
// opens the socket and turns the channel on. An invalid FLIRAN_TRACE_PORT leaves it off and
// says why on standard error. Call before any element exists.
void ApplyTraceSwitch();

// Opens the socket for the debugger at 127.0.0.1:port and turns the channel on over it. The
// socket is bound to 127.0.0.1 and connected to the debugger, so commands from anywhere else are
// never received. Tried once per process, failures silent: without a socket the channel stays
// off. Answers whether the channel is on.
bool OpenTraceSocket(std::uint16_t port);

}  // namespace fliran
