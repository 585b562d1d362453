// Splitting a command line into arguments.
#include "runtime/command_line.h"

namespace fliran {

std::string CommandLineArgFrom(std::string_view commandLine, int n) {
  if (n < 0) return {};
  // The scan works like one over a zero-terminated text: a zero byte ends it.
  auto at = [commandLine](std::size_t i) -> unsigned char {
    return i < commandLine.size() ? static_cast<unsigned char>(commandLine[i]) : 0;
  };
  std::size_t p = 0;
  for (int index = 0;; ++index) {
    // Skip blanks, and empty quote pairs as if they were blanks.
    for (;;) {
      while (at(p) >= 1 && at(p) <= 32) ++p;
      if (at(p) != '"' || at(p + 1) != '"') break;
      p += 2;
    }
    const std::size_t start = p;
    while (at(p) > 32) {
      if (at(p) == '"') {
        // Blanks inside quotes belong to the argument.
        ++p;
        while (at(p) != 0 && at(p) != '"') ++p;
        if (at(p) == '"') ++p;
      } else {
        ++p;
      }
    }
    std::string_view argument = commandLine.substr(start, p - start);
    if (index == n) {
      if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"') {
        argument = argument.substr(1, argument.size() - 2);
      }
      return std::string(argument);
    }
    if (argument.empty()) return {};
  }
}

}  // namespace fliran
