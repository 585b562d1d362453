// Number <-> text conversions; see convert.h for the formats.
#include "runtime/convert.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace fliran {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Powers of ten up to 10^22 are exact doubles; larger ones are built from them.
constexpr std::array<double, 23> kExactPowers = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// x * 10^exponent, dividing for negative exponents so that 1e-5 and the like come out as the
// nearest double. Works in steps of 10^22, which also keeps huge exponents from looping long:
// the value saturates to infinity or zero after a few steps.
double ScaleByPowerOfTen(double x, std::int64_t exponent) {
  const bool shrink = exponent < 0;
  std::uint64_t remaining = shrink ? 0 - static_cast<std::uint64_t>(exponent)
                                   : static_cast<std::uint64_t>(exponent);
  while (remaining > 0 && x != 0.0 && std::isfinite(x)) {
    const std::uint64_t step = remaining < 22 ? remaining : 22;
    x = shrink ? x / kExactPowers[step] : x * kExactPowers[step];
    remaining -= step;
  }
  return x;
}

}  // namespace

std::int32_t TextToInt(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint32_t value = 0;  // unsigned: the wrap-around is intended and must not be UB
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

std::string IntToText(std::int32_t value) {
  std::array<char, 16> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

double TextToReal(std::string_view text) {
  if (text.empty()) return 0.0;
  std::size_t i = 0;
  const bool negative = text[0] == '-';
  if (negative) i = 1;

  double value = 0.0;
  bool inDecimals = false;
  std::int64_t decimal = 0;  // k of the next decimal digit
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      const double digit = c - '0';
      if (!inDecimals) {
        value = value * 10.0 + digit;
      } else {
        ++decimal;
        value += ScaleByPowerOfTen(digit, -decimal);
      }
    } else if (c == '.') {
      if (inDecimals) break;
      inDecimals = true;
    } else if (c == 'E' || c == 'e') {
      value = ScaleByPowerOfTen(value, TextToInt(text.substr(i + 1)));
      break;
    }
    // Every other character is skipped and the scan goes on.
  }
  return negative ? -value : value;
}

std::string RealToText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0.0) return "0";

  // Scientific form with 14 decimals gives exactly the 15 significant digits, correctly rounded
  // from the binary value (ties to even), and the decimal exponent after any carry.
  std::array<char, 32> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), std::fabs(value),
                                    std::chars_format::scientific, 14);
  const std::string_view scientific(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  // scientific is "d.dddddddddddddde[+-]x..."
  std::string digits;
  digits.reserve(15);
  digits += scientific[0];
  const std::size_t exponentMark = scientific.find('e');
  digits.append(scientific.substr(2, exponentMark - 2));
  const int exponent = std::atoi(std::string(scientific.substr(exponentMark + 1)).c_str());

  std::string text;
  if (value < 0) text += '-';
  if (exponent < 0) {
    // No digit before the point: "0." then the leading zeros, then the digits.
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    text += "0.";
    text.append(static_cast<std::size_t>(-exponent - 1), '0');
    text += digits;
  } else if (exponent >= static_cast<int>(digits.size()) - 1) {
    // All digits before the point: pad with zeros up to it, trim nothing.
    text += digits;
    text.append(static_cast<std::size_t>(exponent) - (digits.size() - 1), '0');
  } else {
    const std::size_t integerDigits = static_cast<std::size_t>(exponent) + 1;
    std::string_view fraction = std::string_view(digits).substr(integerDigits);
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    text.append(digits, 0, integerDigits);
    if (!fraction.empty()) {
      text += '.';
      text += fraction;
    }
  }
  return text;
}

std::int32_t RealToInteger(double value) {
  if (!std::isfinite(value)) return 0;
  // Round half to even without depending on the floating-point rounding mode. For |value| below
  // 2^52 the fraction value - floor(value) is exact; above it every double is already whole.
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (whole < -kTwoTo63 || whole >= kTwoTo63) return 0;
  const auto wide = static_cast<std::uint64_t>(static_cast<std::int64_t>(whole));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(wide & 0xFFFFFFFFu));
}

}  // namespace fliran
