// The files the web view serves, put into the program when it is built (cmake/EmbedFiles.cmake),
// so that it needs nothing beside it and loads nothing from elsewhere: the page and the committed
// picture of the scheme, docs/scheme.svg, as Graphviz rendered it from docs/scheme.dot.
#pragma once

#include <cstddef>

namespace fliran::debugger {

extern const char kWebPage[];
extern const std::size_t kWebPageSize;
extern const char kSchemeSvg[];
extern const std::size_t kSchemeSvgSize;

}  // namespace fliran::debugger
