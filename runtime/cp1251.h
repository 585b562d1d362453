// The program's texts are CP1251 bytes. This header maps CP1251 to Unicode and back, and gives
// the literal "ПОРТ НЕ ОПРЕДЕЛЁН"_cp1251, which the compiler turns from the UTF-8 source text
// into CP1251 bytes (a character CP1251 lacks is a compile error).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/wide_string.h"

namespace fliran {

// Unicode of the CP1251 bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F and 0x00..0x7F are
// ASCII. 0x98 has no character and maps to U+0098, as the platform's converter does.
inline constexpr std::array<char16_t, 64> kCp1251High = {
    u'\u0402', u'\u0403', u'\u201A', u'\u0453', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u20AC', u'\u2030', u'\u0409', u'\u2039', u'\u040A', u'\u040C', u'\u040B', u'\u040F',
    u'\u0452', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u0098', u'\u2122', u'\u0459', u'\u203A', u'\u045A', u'\u045C', u'\u045B', u'\u045F',
    u'\u00A0', u'\u040E', u'\u045E', u'\u0408', u'\u00A4', u'\u0490', u'\u00A6', u'\u00A7',
    u'\u0401', u'\u00A9', u'\u0404', u'\u00AB', u'\u00AC', u'\u00AD', u'\u00AE', u'\u0407',
    u'\u00B0', u'\u00B1', u'\u0406', u'\u0456', u'\u0491', u'\u00B5', u'\u00B6', u'\u00B7',
    u'\u0451', u'\u2116', u'\u0454', u'\u00BB', u'\u0458', u'\u0405', u'\u0455', u'\u0457',
};

constexpr char16_t Cp1251ToUnicode(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return static_cast<char16_t>(0x0410 + (byte - 0xC0));
  return kCp1251High[byte - 0x80];
}

// The CP1251 byte of a character, or -1 when CP1251 has none.
constexpr int UnicodeToCp1251(char32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  if (c >= 0x0410 && c <= 0x044F) return static_cast<int>(0xC0 + (c - 0x0410));
  for (std::size_t i = 0; i < kCp1251High.size(); ++i) {
    if (kCp1251High[i] == c) return static_cast<int>(0x80 + i);
  }
  return -1;
}

// Texts cross the platform boundary as UTF-16 (the wide-character calls), so they show the same
// whatever the system's code page is.
inline WideString Cp1251ToWide(std::string_view text) {
  WideString wide;
  wide.reserve(text.size());
  for (const char c : text) wide.push_back(static_cast<wchar_t>(Cp1251ToUnicode(static_cast<unsigned char>(c))));
  return wide;
}

// Characters CP1251 cannot hold become '?', as the platform's own converter does by default.
inline std::string WideToCp1251(WideStringView wide) {
  std::string text;
  text.reserve(wide.size());
  for (const wchar_t c : wide) {
    const int byte = UnicodeToCp1251(static_cast<char32_t>(c));
    text.push_back(byte < 0 ? '?' : static_cast<char>(byte));
  }
  return text;
}

namespace detail {

template <std::size_t N>
struct Utf8Literal {
  char text[N]{};
  constexpr Utf8Literal(const char (&s)[N]) {  // NOLINT: implicit by design (literal operator)
    for (std::size_t i = 0; i < N; ++i) text[i] = s[i];
  }
};

template <std::size_t N>
struct Cp1251Bytes {
  char bytes[N]{};
  std::size_t size = 0;
};

template <std::size_t N>
consteval Cp1251Bytes<N> EncodeCp1251(const char (&utf8)[N]) {
  Cp1251Bytes<N> out;
  std::size_t i = 0;
  while (i + 1 < N) {  // the last element is the terminating zero
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t c = 0;
    std::size_t length = 1;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      c = lead & 0x1Fu;
      length = 2;
    } else if ((lead & 0xF0) == 0xE0) {
      c = lead & 0x0Fu;
      length = 3;
    } else {
      throw "the text has a character that CP1251 cannot hold";
    }
    for (std::size_t k = 1; k < length; ++k) {
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    }
    const int byte = UnicodeToCp1251(c);
    if (byte < 0) throw "the text has a character that CP1251 cannot hold";
    out.bytes[out.size++] = static_cast<char>(byte);
    i += length;
  }
  return out;
}

template <Utf8Literal S>
struct Cp1251Storage {
  static constexpr auto value = EncodeCp1251(S.text);
};

}  // namespace detail

template <detail::Utf8Literal S>
constexpr std::string_view operator""_cp1251() {
  return std::string_view(detail::Cp1251Storage<S>::value.bytes, detail::Cp1251Storage<S>::value.size);
}

}  // namespace fliran
