// Linked into every Windows test program. Under Wine the test output goes to
// Linux pipes; in the C runtime's default text mode each "\n" would become
// "\r\n", which breaks CTest's parsing of the test list. Binary mode keeps
// plain LF line ends.
#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

const int binary_stdio = [] {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    return 0;
}();

}  // namespace
