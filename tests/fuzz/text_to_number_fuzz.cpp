// Text to integer and to real: any text converts without a fault, and the characters taken agree
// with a small reference of the rules: which digits, signs, points and exponent count.
#include <cmath>
#include <cstdlib>
#include <string>

#include "runtime/convert.h"
#include "runtime/data.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

constexpr std::string_view kDigits = "0123456789";

// Optional "-" or "+", then the digits up to the first non-digit, modulo 2^32.
std::int32_t ReferenceInt(std::string_view text) {
  const std::size_t start = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  const std::string_view digits = text.substr(start, text.find_first_not_of(kDigits, start) - start);
  std::uint64_t value = 0;
  for (char c : digits) value = (value * 10 + static_cast<std::uint64_t>(c - '0')) % 4294967296u;
  if (start == 1 && text[0] == '-') value = (4294967296u - value) % 4294967296u;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// The text the rules read, as a plain decimal: a leading "-" negates, digits go to the integer
// part until the first ".", to the decimals after it, a second "." ends the scan, "E"/"e" ends it
// with the exponent read as an integer from the rest, anything else is skipped.
struct Decimal {
  std::string mantissa = "0.";  // integer digits, ".", decimals
  std::int32_t exponent = 0;
  bool negative = false;
};

Decimal ReferenceReal(std::string_view text) {
  Decimal d;
  d.negative = !text.empty() && text[0] == '-';
  std::string whole = "0", decimals;
  bool afterPoint = false;
  for (std::size_t i = d.negative ? 1 : 0; i < text.size(); ++i) {
    const char c = text[i];
    if (kDigits.find(c) != std::string_view::npos) {
      (afterPoint ? decimals : whole) += c;
    } else if (c == '.') {
      if (afterPoint) break;
      afterPoint = true;
    } else if (c == 'e' || c == 'E') {
      d.exponent = ReferenceInt(text.substr(i + 1));
      break;
    }
  }
  d.mantissa = whole + "." + decimals;
  return d;
}

void CheckReal(std::string_view text) {
  const double got = fliran::TextToReal(text);
  const Decimal d = ReferenceReal(text);
  // The reference value, correctly rounded. The rules compute in doubles digit by digit, so the
  // result may differ in the last bits; a digit taken or skipped wrongly shows far above that.
  const double mantissa = std::strtod(d.mantissa.c_str(), nullptr);
  const std::string full = (d.negative ? "-" : "") + d.mantissa + "e" + std::to_string(d.exponent);
  const double expected = std::strtod(full.c_str(), nullptr);
  FUZZ_CHECK(!std::isnan(got));
  FUZZ_CHECK(got == 0.0 || std::signbit(got) == d.negative);
  // A mantissa that is itself near the bottom of the doubles has lost its digits before the
  // exponent scales it (the rules add each decimal as digit * 10^-k): nothing more to compare.
  if (mantissa != 0.0 && mantissa < 1e-290) return;
  if (std::isinf(mantissa)) {  // the integer part alone overflows
    FUZZ_CHECK(std::isinf(got));
    return;
  }
  const double magnitude = std::fabs(expected);
  if (magnitude >= 1e300) {
    FUZZ_CHECK(std::fabs(got) >= 1e299);
  } else if (magnitude < 1e-290) {
    FUZZ_CHECK(std::fabs(got) < 1e-280);
  } else {
    FUZZ_CHECK(std::fabs(got - expected) <= 1e-10 * magnitude);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = FuzzText(data, size);

  const std::int32_t n = fliran::TextToInt(text);
  FUZZ_CHECK(n == ReferenceInt(text));

  // ToIntegerOrMinus1: the number when the text is not empty and it is not 0 or starts with "0".
  fliran::TData value;
  fliran::MakeStr(&value, std::string(text));
  const bool number = !text.empty() && (n != 0 || text[0] == '0');
  FUZZ_CHECK(fliran::ToIntegerOrMinus1(value) == (number ? n : -1));
  FUZZ_CHECK(fliran::ToInteger(value) == n);

  CheckReal(text);
  return 0;
}
