// scheme_picture [FILE]: writes the panel's scheme as a Graphviz graph (DOT) to FILE, or to the
// standard output. tools/scheme-picture.sh writes docs/scheme.dot with it and renders the picture.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/scheme_picture/scheme_dot.h"

namespace {

constexpr const char* kUsage =
    "usage: scheme_picture [FILE]\n"
    "Writes the panel's elements and links as a Graphviz graph (DOT) to FILE, or to the standard\n"
    "output. Render it with: dot -Tsvg FILE -o scheme.svg\n";

}  // namespace

int main(int argc, char** argv) {
  const bool help = argc == 2 && std::strcmp(argv[1], "--help") == 0;
  if (help || argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fputs(kUsage, help ? stdout : stderr);
    return help ? 0 : 2;
  }
  const char* name = argc == 2 ? argv[1] : "the standard output";
  std::FILE* out = argc == 2 ? std::fopen(name, "wb") : stdout;
  if (out == nullptr) {
    std::fprintf(stderr, "scheme_picture: cannot write %s: %s\n", name, std::strerror(errno));
    return 1;
  }
  const std::string dot = fliran::SchemeDot();
  const bool written = std::fwrite(dot.data(), 1, dot.size(), out) == dot.size();
  if (!(out == stdout ? std::fflush(out) == 0 : std::fclose(out) == 0) || !written) {
    std::fprintf(stderr, "scheme_picture: writing %s failed\n", name);
    return 1;
  }
  return 0;
}
