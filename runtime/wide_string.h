// Texts for the platform's wide-character calls: UTF-16 code units in wchar_t.
//
// WideString is a std::basic_string whose character traits never call the C library's wide
// functions (wcslen, wmemcmp, wmemcpy, wmemchr, wmemset). Windows compilers have a 16-bit
// wchar_t and a C library to match; a build against Wine's own headers and the Linux C library
// (winegcc, which compiles with -fshort-wchar) also has a 16-bit wchar_t, but there those
// functions take 32-bit characters: std::wstring would measure, compare and copy twice the
// bytes it holds. The traits below work on the characters themselves, with the same results on
// every platform.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace fliran {

struct WideCharTraits : std::char_traits<wchar_t> {
  using std::char_traits<wchar_t>::assign;

  static constexpr int compare(const wchar_t* a, const wchar_t* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      if (lt(a[i], b[i])) return -1;
      if (lt(b[i], a[i])) return 1;
    }
    return 0;
  }
  static constexpr std::size_t length(const wchar_t* s) {
    std::size_t n = 0;
    while (s[n] != L'\0') ++n;
    return n;
  }
  static constexpr const wchar_t* find(const wchar_t* s, std::size_t n, const wchar_t& c) {
    for (std::size_t i = 0; i < n; ++i) {
      if (s[i] == c) return s + i;
    }
    return nullptr;
  }
  // The ranges may overlap.
  static constexpr wchar_t* move(wchar_t* to, const wchar_t* from, std::size_t n) {
    if (n == 0) return to;
    if (std::less<const wchar_t*>{}(from, to)) {
      std::copy_backward(from, from + n, to + n);
    } else {
      std::copy(from, from + n, to);
    }
    return to;
  }
  static constexpr wchar_t* copy(wchar_t* to, const wchar_t* from, std::size_t n) {
    std::copy(from, from + n, to);
    return to;
  }
  static constexpr wchar_t* assign(wchar_t* s, std::size_t n, wchar_t c) {
    std::fill(s, s + n, c);
    return s;
  }
};

using WideString = std::basic_string<wchar_t, WideCharTraits>;
using WideStringView = std::basic_string_view<wchar_t, WideCharTraits>;

}  // namespace fliran
