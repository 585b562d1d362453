// Splitting the command line: the rules the /ih switch and any later arguments are found by.
#include <gtest/gtest.h>

#include "runtime/command_line.h"

namespace fliran {
namespace {

TEST(CommandLineSplit, ArgumentsByIndex) {
  const struct {
    const char* line;
    int n;
    const char* expected;
  } cases[] = {
      {"panel.exe /ih", 0, "panel.exe"},
      {"panel.exe /ih", 1, "/ih"},
      {"panel.exe /ih", 2, ""},
      {"panel.exe", 1, ""},
      {"", 0, ""},
      {"", 1, ""},
      {"  \t panel.exe   a  b ", 2, "b"},
      {"\"C:\\Program Files\\Bird\\panel.exe\" /ih", 0, "C:\\Program Files\\Bird\\panel.exe"},
      {"\"C:\\Program Files\\Bird\\panel.exe\" /ih", 1, "/ih"},
      {"panel.exe \"/ih\"", 1, "/ih"},
      {"panel.exe \"\" /ih", 1, "/ih"},           // an empty quote pair is a blank
      {"panel.exe \"\"\"\" x", 1, "x"},
      {"panel.exe x /ih", 1, "x"},
      {"panel.exe x /ih", 2, "/ih"},
      {"panel.exe a\"b c\"d e", 1, "a\"b c\"d"},  // quotes inside stay
      {"panel.exe \"open", 1, "\"open"},          // an unclosed quote runs to the end
      {"panel.exe \"open", 2, ""},
      {"panel.exe \"a b\"c", 1, "\"a b\"c"},      // not both ends quoted: kept as is
      {"panel.exe \"\"", 1, ""},
      {"panel.exe \"x\"", 1, "x"},
      {"panel.exe -1", -1, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CommandLineArgFrom(c.line, c.n), c.expected) << "line [" << c.line << "] n=" << c.n;
  }
}

TEST(CommandLineSplit, HighBytesAreNotBlanks) {
  // CP1251 letters are above 127 and belong to arguments.
  EXPECT_EQ(CommandLineArgFrom("panel.exe \xCF\xEE\xF0\xF2 x", 1), "\xCF\xEE\xF0\xF2");
  EXPECT_EQ(CommandLineArgFrom(std::string_view("panel.exe a\0b", 13), 2), "");
}

}  // namespace
}  // namespace fliran
