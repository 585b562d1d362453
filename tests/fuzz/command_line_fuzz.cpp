// Command-line splitting: any command line splits without a fault into arguments taken from it,
// and arguments written into a command line (quoted where they hold blanks) come back as written.
#include <algorithm>
#include <string>
#include <vector>

#include "runtime/command_line.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool HasBlank(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) <= 32) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input = FuzzText(data, size);

  // The input as a command line: every argument is a piece of it (without its enclosing quotes),
  // holds no zero byte, and there are never more arguments than characters.
  for (int n = 0; n < 64; ++n) {
    const std::string arg = fliran::CommandLineArgFrom(input, n);
    if (arg.empty()) break;
    FUZZ_CHECK(arg.find('\0') == std::string::npos);
    FUZZ_CHECK(input.find(arg) != std::string_view::npos);
  }
  FUZZ_CHECK(fliran::CommandLineArgFrom(input, static_cast<int>(size) + 1).empty());

  // The input as arguments, split at zero bytes, without quotes and empty ones: written one after
  // the other, in quotes when they hold a blank or start with an odd byte, they read back (the
  // first 64 and the last are looked at: each look scans the line from its start).
  std::vector<std::string> args;
  std::string line = "panel.exe";
  std::size_t start = 0;
  while (start <= input.size()) {
    const std::size_t end = std::min(input.find('\0', start), input.size());
    std::string arg;
    for (char c : input.substr(start, end - start)) {
      if (c != '"') arg += c;
    }
    start = end + 1;
    if (arg.empty()) continue;
    const bool quoted = HasBlank(arg) || (static_cast<unsigned char>(arg[0]) & 1) != 0;
    line += quoted ? " \"" + arg + "\"" : " " + arg;
    args.push_back(std::move(arg));
  }
  for (std::size_t i = 0; i < args.size(); i = i < 64 ? i + 1 : std::max(i + 1, args.size() - 1)) {
    FUZZ_CHECK(fliran::CommandLineArgFrom(line, static_cast<int>(i + 1)) == args[i]);
  }
  FUZZ_CHECK(fliran::CommandLineArgFrom(line, static_cast<int>(args.size() + 1)).empty());
  return 0;
}
