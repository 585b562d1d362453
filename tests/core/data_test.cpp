// Values and their conversions: the exact number formats and the tag rules.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "runtime/convert.h"
#include "runtime/cp1251.h"
#include "runtime/data.h"
#include "runtime/link.h"
#include "test_points.h"

namespace fliran {
namespace {

using testing::IntValue;
using testing::RealValue;
using testing::StrValue;

TEST(TextToInt, ParsesSignAndLeadingDigitsOnly) {
  const struct {
    const char* text;
    std::int32_t expected;
  } cases[] = {
      {"", 0},      {"0", 0},         {"12", 12},    {"-12", -12},  {"+7", 7},      {" 12", 0},
      {"12abc", 12}, {"abc", 0},      {"-", 0},      {"--5", 0},    {"1 2", 1},     {"007", 7},
      {"2147483647", 2147483647},     {"-2147483648", std::numeric_limits<std::int32_t>::min()},
  };
  for (const auto& c : cases) EXPECT_EQ(TextToInt(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TextToInt, WrapsModulo2To32) {
  EXPECT_EQ(TextToInt("2147483648"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(TextToInt("4294967296"), 0);
  EXPECT_EQ(TextToInt("4294967297"), 1);
  EXPECT_EQ(TextToInt("99999999999"), 1215752191);
  EXPECT_EQ(TextToInt("-4294967295"), 1);
}

TEST(IntToText, PlainDecimal) {
  EXPECT_EQ(IntToText(0), "0");
  EXPECT_EQ(IntToText(95), "95");
  EXPECT_EQ(IntToText(-5), "-5");
  EXPECT_EQ(IntToText(std::numeric_limits<std::int32_t>::max()), "2147483647");
  EXPECT_EQ(IntToText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
}

TEST(TextToReal, ReadsDigitByDigit) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"", 0.0},     {"0", 0.0},     {"1.5", 1.5},   {"-2.25", -2.25}, {"1a2", 12.0}, {"0.1", 0.1},
      {"0.3", 0.3},  {"1.2.3", 1.2}, {"+5", 5.0},    {" 7 ", 7.0},     {"1,5", 15.0}, {"abc", 0.0},
      {"1e3", 1000.0}, {"2E-2", 0.02}, {"1e", 1.0},  {"5e+1", 50.0},   {"-0.5", -0.5}, {".5", 0.5},
      {"12.", 12.0}, {"512", 512.0},  {"700", 700.0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(TextToReal(c.text), c.expected) << '"' << c.text << '"';
}

TEST(TextToReal, HugeExponentsSaturateQuickly) {
  EXPECT_TRUE(std::isinf(TextToReal("1e999")));
  EXPECT_EQ(TextToReal("1e-999"), 0.0);
  EXPECT_EQ(TextToReal("0e2147483647"), 0.0);  // no 0 * inf = NaN
  EXPECT_TRUE(std::isinf(TextToReal("7e2147483647")));
}

TEST(RealToText, PositionalNotationExamples) {
  const struct {
    double value;
    const char* expected;
  } cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {1.5, "1.5"},
      {2.0, "2"},
      {0.1, "0.1"},
      {-2.25, "-2.25"},
      {0.00001, "0.00001"},
      {1e20, "100000000000000000000"},
      {0.1 + 0.2, "0.3"},
      {-0.000125, "-0.000125"},
      {88.0, "88"},
      {-512.0, "-512"},
      {123456789012345678.0, "123456789012346000"},
      {0.9999999999999999, "1"},               // the rounding carries into a new digit
      {999999999999999.9, "1000000000000000"},
      {1234567890123455.0, "1234567890123460"},  // exact tie: to even (5 -> 6)
      {1234567890123445.0, "1234567890123440"},  // exact tie: to even (4 stays)
      {100.0, "100"},
      {1e14, "100000000000000"},
      {123.456, "123.456"},
      {1.0 / 3.0, "0.333333333333333"},
      {2.0 / 3.0, "0.666666666666667"},
  };
  for (const auto& c : cases) EXPECT_EQ(RealToText(c.value), c.expected) << c.value;
}

TEST(RealToText, SpecialValuesTerminateWithFixedTexts) {
  EXPECT_EQ(RealToText(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(RealToText(-std::numeric_limits<double>::infinity()), "-INF");
  EXPECT_EQ(RealToText(std::numeric_limits<double>::quiet_NaN()), "NAN");
  EXPECT_EQ(RealToText(-std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST(RealToText, ExtremeMagnitudesStayPositional) {
  const std::string largest = RealToText(std::numeric_limits<double>::max());
  EXPECT_EQ(largest.size(), 309u);
  EXPECT_EQ(largest.substr(0, 15), "179769313486232");
  EXPECT_EQ(largest.find_first_not_of('0', 15), std::string::npos);

  const std::string smallest = RealToText(std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(smallest, "0." + std::string(323, '0') + "494065645841247");
}

// Splits a positional text into its significant digits (trailing zeros removed) and the decimal
// exponent of the first one, checking the layout rules on the way.
struct Decomposed {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

Decomposed Decompose(const std::string& text) {
  Decomposed d;
  std::string body = text;
  if (!body.empty() && body[0] == '-') {
    d.negative = true;
    body.erase(0, 1);
  }
  EXPECT_EQ(body.find_first_not_of("0123456789."), std::string::npos) << text;
  const std::size_t point = body.find('.');
  const std::string whole = body.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : body.substr(point + 1);
  if (point != std::string::npos) {
    EXPECT_FALSE(fraction.empty()) << text;
    EXPECT_NE(fraction.back(), '0') << "trailing zero after the point: " << text;
    EXPECT_EQ(fraction.find('.'), std::string::npos) << text;
  }
  if (whole != "0") {
    EXPECT_NE(whole[0], '0') << "leading zero: " << text;
    d.exponent = static_cast<int>(whole.size()) - 1;
    d.digits = whole + fraction;
  } else {
    const std::size_t firstDigit = fraction.find_first_not_of('0');
    d.exponent = -static_cast<int>(firstDigit) - 1;
    d.digits = fraction.substr(firstDigit);
  }
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// The C library's scientific formatting with 14 decimals is correctly rounded from the binary
// value; our positional text must carry the same 15 digits and exponent.
TEST(RealToText, MatchesCorrectlyRoundedReferenceOnRandomDoubles) {
  std::mt19937_64 random(20261208);
  int checked = 0;
  for (int i = 0; i < 200000; ++i) {
    double value;
    if (i % 2 == 0) {
      const std::uint64_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
    } else {
      // Short decimals like the panel's values, where the 15-digit rounding sits close to a tie.
      value = static_cast<double>(random() % 10000000000000000ull) / std::pow(10.0, static_cast<double>(random() % 20));
      if (random() % 2) value = -value;
    }
    if (!std::isfinite(value) || value == 0.0) continue;

    char reference[64];
    std::snprintf(reference, sizeof reference, "%.14e", std::fabs(value));
    std::string refDigits = std::string(1, reference[0]) + std::string(reference + 2, 14);
    while (refDigits.size() > 1 && refDigits.back() == '0') refDigits.pop_back();
    const int refExponent = std::atoi(std::strchr(reference, 'e') + 1);

    const std::string text = RealToText(value);
    const Decomposed got = Decompose(text);
    ASSERT_EQ(got.negative, value < 0) << text;
    ASSERT_EQ(got.digits, refDigits) << "value " << reference << " text " << text;
    ASSERT_EQ(got.exponent, refExponent) << "value " << reference << " text " << text;
    ++checked;
  }
  EXPECT_GT(checked, 190000);
}

TEST(RealToInteger, RoundsHalfToEvenAndKeepsLow32Bits) {
  const struct {
    double value;
    std::int32_t expected;
  } cases[] = {
      {2.5, 2},           {3.5, 4},        {-2.5, -2},       {-3.5, -4},       {0.5, 0},
      {1.5, 2},           {2.4999, 2},     {-0.4, 0},        {88.0, 88},       {100.0, 100},
      {0.49999999999999994, 0},            {1e10, 1410065408},                 {-1e10, -1410065408},
      {4294967303.0, 7},  {-9223372036854775808.0, 0},      {4503599627370497.0, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(RealToInteger(c.value), c.expected) << c.value;
}

TEST(RealToInteger, OutOfRangeAndSpecialValuesGiveZero) {
  EXPECT_EQ(RealToInteger(9.3e18), 0);
  EXPECT_EQ(RealToInteger(9223372036854775808.0), 0);
  EXPECT_EQ(RealToInteger(-9.3e18), 0);
  EXPECT_EQ(RealToInteger(1e300), 0);
  EXPECT_EQ(RealToInteger(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(RealToInteger(-std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(RealToInteger(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(Conversions, ByTag) {
  TData empty;
  TData absent;
  absent.Tag = TagAbsent;
  TData forwarded = IntValue(5);
  forwarded.Tag = ForwardBit | TagInt;  // still marked: converts like an unknown kind

  EXPECT_EQ(ToInteger(IntValue(-3)), -3);
  EXPECT_EQ(ToInteger(StrValue("42x")), 42);
  EXPECT_EQ(ToInteger(RealValue(2.5)), 2);
  EXPECT_EQ(ToInteger(empty), 0);
  EXPECT_EQ(ToInteger(absent), 0);
  EXPECT_EQ(ToInteger(forwarded), 0);

  EXPECT_EQ(ToReal(IntValue(7)), 7.0);
  EXPECT_EQ(ToReal(StrValue("700")), 700.0);
  EXPECT_EQ(ToReal(RealValue(0.25)), 0.25);
  EXPECT_EQ(ToReal(empty), 0.0);
  EXPECT_EQ(ToReal(forwarded), 0.0);

  EXPECT_EQ(ToString(IntValue(602)), "602");
  EXPECT_EQ(ToString(StrValue("600")), "600");
  EXPECT_EQ(ToString(RealValue(90.0)), "90");
  EXPECT_EQ(ToString(empty), "");
  EXPECT_EQ(ToString(forwarded), "");
}

TEST(Conversions, IntegerOrMinus1TellsMissingNumbers) {
  EXPECT_EQ(ToIntegerOrMinus1(StrValue("0")), 0);
  EXPECT_EQ(ToIntegerOrMinus1(StrValue("00")), 0);
  EXPECT_EQ(ToIntegerOrMinus1(StrValue("abc")), -1);
  EXPECT_EQ(ToIntegerOrMinus1(StrValue("")), -1);
  EXPECT_EQ(ToIntegerOrMinus1(StrValue("7x")), 7);
  EXPECT_EQ(ToIntegerOrMinus1(StrValue("-0")), -1);
  EXPECT_EQ(ToIntegerOrMinus1(IntValue(0)), 0);
  EXPECT_EQ(ToIntegerOrMinus1(RealValue(3.5)), 4);
  EXPECT_EQ(ToIntegerOrMinus1(TData{}), -1);
}

TEST(Setters, LeaveFieldsTheyDoNotNameAlone) {
  TData next;
  TKvorn_Event link;
  TData d;
  d.StrValue = "kept";
  d.RealValue = 1.25;
  d.Next = &next;
  d.ForwardTo = &link;

  MakeInt(&d, 9);
  EXPECT_EQ(d.Tag, TagInt);
  EXPECT_EQ(d.StrValue, "kept");
  EXPECT_EQ(d.RealValue, 1.25);
  EXPECT_EQ(d.Next, nullptr);
  EXPECT_EQ(d.ForwardTo, nullptr);

  MakeStr(&d, "text");
  EXPECT_EQ(d.IntValue, 9);
  MakeReal(&d, 2.0);
  EXPECT_EQ(d.StrValue, "text");
  MakeNull(&d);
  EXPECT_EQ(d.Tag, TagEmpty);
  EXPECT_EQ(d.RealValue, 2.0);

  d.Next = &next;
  ForwardNull(&d, link);
  EXPECT_EQ(d.Tag, 0x80);
  EXPECT_EQ(d.ForwardTo, &link);
  EXPECT_EQ(d.Next, &next);  // kept by ForwardNull only

  ForwardInt(&d, link, 3);
  EXPECT_EQ(d.Tag, 0x81);
  EXPECT_EQ(d.IntValue, 3);
  EXPECT_EQ(d.Next, nullptr);

  d.Next = &next;
  ForwardStr(&d, link, "s");
  EXPECT_EQ(d.Tag, 0x82);
  EXPECT_EQ(d.StrValue, "s");
  EXPECT_EQ(d.Next, nullptr);
}

TEST(Cp1251, LiteralsAreEncodedAtCompileTime) {
  constexpr std::string_view text = "ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251;
  static_assert(text.size() == 17);
  EXPECT_EQ(text, "\xCF\xCE\xD0\xD2 \xCD\xC5 \xCE\xCF\xD0\xC5\xC4\xC5\xCB\xA8\xCD");
  EXPECT_EQ("CJM 8\r\n"_cp1251, "CJM 8\r\n");
  EXPECT_EQ("ё№"_cp1251, "\xB8\xB9");
}

TEST(Cp1251, TableRoundTripsEveryByte) {
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(UnicodeToCp1251(Cp1251ToUnicode(static_cast<unsigned char>(byte))), byte) << byte;
  }
  EXPECT_EQ(Cp1251ToUnicode(0xC0), u'\u0410');
  EXPECT_EQ(Cp1251ToUnicode(0xFF), u'\u044F');
  EXPECT_EQ(Cp1251ToUnicode(0xA8), u'\u0401');
  EXPECT_EQ(UnicodeToCp1251(U'\u00E9'), -1);
}

TEST(Cp1251, WideConversionsRoundTripAndReplaceTheUnmappable) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  EXPECT_EQ(WideToCp1251(Cp1251ToWide(all)), all);
  EXPECT_EQ(Cp1251ToWide("ФЛИРАН_1"_cp1251), L"\u0424\u041B\u0418\u0420\u0410\u041D_1");
  EXPECT_EQ(WideToCp1251(L"a\u00E9\u4E2Db"), "a??b");
}

}  // namespace
}  // namespace fliran
