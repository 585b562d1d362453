// The two texts the serial port element hands to the platform: the device name of a port number
// and the line-setting text built from its properties. Plain text building, no platform calls.
#pragma once

#include <cstdint>
#include <string>

namespace fliran {

// The letter of "NOEMS" at position parity (0 none, 1 odd, 2 even, 3 mark, 4 space). A value
// outside 0..4 names no letter and is taken as 0, no parity.
char ParityLetter(std::int32_t parity);

// "baud=<baud> parity=<letter> data=8 stop=1 octs=off", the text for BuildCommDCBA.
std::string LineSettingText(std::int32_t baud, std::int32_t parity);

// The device name of a port number: "\\.\Com5" for 5, "\\.\Com12" for 12.
std::string DeviceName(std::int32_t port);

}  // namespace fliran
