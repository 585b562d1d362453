// WideString's own character traits against std::u16string, whose traits are the standard
// library's: the same edits on the same UTF-16 texts give the same texts, sizes, orders and finds.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/wide_string.h"

namespace fliran {
namespace {

std::u16string Utf16(const WideString& text) { return std::u16string(text.begin(), text.end()); }

TEST(WideString, EditsMeasuresOrdersAndFindsLikeAUtf16String) {
  // Cyrillic, a character with the top bit set, and the text measured from a terminated array.
  const wchar_t terminated[] = {L'П', L'о', L'р', L'т', L' ', static_cast<wchar_t>(0xFFFF), L'3', L'\0'};
  const WideString port(terminated);
  const std::u16string reference(port.begin(), port.end());
  ASSERT_EQ(port.size(), 7u);

  // Edits that move characters within the text, both ways, and overlapping.
  const std::function<void(WideString&)> wideEdits[] = {
      [](WideString& s) { s.insert(1, L"xy"); },
      [](WideString& s) { s.erase(1, 2); },
      [](WideString& s) { s.replace(0, 2, s.c_str() + 1, 5); },
      [](WideString& s) { s.append(s); },
      [](WideString& s) { s.assign(3, L'Ё'); },
  };
  const std::function<void(std::u16string&)> u16Edits[] = {
      [](std::u16string& s) { s.insert(1, u"xy"); },
      [](std::u16string& s) { s.erase(1, 2); },
      [](std::u16string& s) { s.replace(0, 2, s.c_str() + 1, 5); },
      [](std::u16string& s) { s.append(s); },
      [](std::u16string& s) { s.assign(3, u'Ё'); },
  };
  for (std::size_t i = 0; i < std::size(wideEdits); ++i) {
    SCOPED_TRACE(i);
    WideString wide = port;
    std::u16string u16 = reference;
    wide.reserve(32);  // room enough: the edits move the characters within the text itself
    u16.reserve(32);
    wideEdits[i](wide);
    u16Edits[i](u16);
    EXPECT_EQ(Utf16(wide), u16);
  }

  for (const WideString& other : {WideString(L"Порт 3"), WideString(L"Порт"), port, port + L"!", WideString()}) {
    const std::u16string u16 = Utf16(other);
    EXPECT_EQ(port.compare(other) < 0, reference.compare(u16) < 0) << other.size();
    EXPECT_EQ(port == other, reference == u16) << other.size();
  }
  EXPECT_EQ(port.find(static_cast<wchar_t>(0xFFFF)), reference.find(char16_t{0xFFFF}));
  EXPECT_EQ(port.find(L"т "), reference.find(u"т "));
  EXPECT_EQ(port.rfind(L'о'), reference.rfind(u'о'));
  EXPECT_EQ(port.find(L'Z'), WideString::npos);
}

}  // namespace
}  // namespace fliran
