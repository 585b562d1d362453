// Number <-> text conversions shared by the data values and the window toolkit.
// The formats are fixed: integers in plain decimal, reals in positional notation with at most
// 15 significant digits, and lenient parsing that never fails (it stops or skips instead).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fliran {

// Optional "-" or "+", then decimal digits up to the first non-digit, wrapping modulo 2^32.
// No blanks are skipped: " 12" gives 0, "12abc" gives 12, "" and "abc" give 0.
std::int32_t TextToInt(std::string_view text);

// Plain decimal digits, "-" before negative numbers, no grouping.
std::string IntToText(std::int32_t value);

// Digit by digit: digits before the first "." build the integer part, digits after it add
// digit / 10^k; a second "." ends the scan; "E"/"e" ends it after scaling by 10 to the power of
// the rest of the text read as an integer; any other character is skipped ("1a2" gives 12).
// A leading "-" negates the result.
double TextToReal(std::string_view text);

// Rounded to 15 significant digits (nearest, ties to even) and written positionally, never with
// an exponent: "0", "1.5", "0.00001", "-2.25", 1e20 as "1" followed by 20 zeros.
// Infinities and NaN give "INF", "-INF" and "NAN".
std::string RealToText(double value);

// Nearest integer, ties to even, keeping the low 32 bits of the 64-bit result. NaN, infinities
// and reals outside the 64-bit range give 0.
std::int32_t RealToInteger(double value);

}  // namespace fliran
