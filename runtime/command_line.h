// Command-line arguments, split the way the program has always split them: blanks (codes 1..32)
// separate arguments, quotes group blanks into an argument, an empty quote pair counts as a
// blank, and an argument in quotes comes back without them.
#pragma once

#include <string>
#include <string_view>

namespace fliran {

// Argument n of a full command line (argument 0 is the program path as written there); the
// empty string when there is no such argument.
std::string CommandLineArgFrom(std::string_view commandLine, int n);

// Argument n of this process's command line, as CP1251 text; argument 0 is the program
// module's full file name.
std::string CommandLineArg(int n);

}  // namespace fliran
