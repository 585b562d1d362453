// Real to text: every double gives a text (NaN and infinities too); a finite one is written
// positionally, without an exponent, with at most 15 significant digits, and reads back as the
// value rounded to 15 significant digits.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/convert.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, data, std::min(size, sizeof bits));
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);

  const std::string text = fliran::RealToText(value);
  FUZZ_CHECK(!text.empty());
  if (!std::isfinite(value)) return 0;

  // Layout: "-" only in front of a negative value, digits, at most one point with a digit on both
  // sides and no trailing zero after it, no leading zero before another digit, no exponent.
  FUZZ_CHECK(text.find_first_of("eE") == std::string::npos);
  const bool negative = text[0] == '-';
  FUZZ_CHECK(negative == (value < 0));
  const std::string body = text.substr(negative ? 1 : 0);
  FUZZ_CHECK(!body.empty() && body.find_first_not_of("0123456789.") == std::string::npos);
  const std::size_t point = body.find('.');
  if (point != std::string::npos) {
    FUZZ_CHECK(point > 0 && point + 1 < body.size() && body.find('.', point + 1) == std::string::npos);
    FUZZ_CHECK(body.back() != '0');
  }
  FUZZ_CHECK(body[0] != '0' || body.size() == 1 || body[1] == '.');

  // At most 15 significant digits: leading zeros never count, trailing zeros of a whole number
  // are only padding up to the point.
  std::string digits;
  for (char c : body) {
    if (c != '.') digits += c;
  }
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  if (point == std::string::npos) digits.erase(digits.find_last_not_of('0') + 1);
  FUZZ_CHECK(digits.size() <= 15);

  // The C library's correctly rounded 15 significant digits are the reference.
  char reference[64];
  std::snprintf(reference, sizeof reference, "%.14e", value);
  const double rounded = std::strtod(reference, nullptr);
  FUZZ_CHECK(std::strtod(text.c_str(), nullptr) == rounded);
  return 0;
}
