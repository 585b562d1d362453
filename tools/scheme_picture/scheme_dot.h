// The panel's scheme as a Graphviz graph (DOT): its elements from scheme/elements.h and its links
// from scheme/links.h, so the picture follows the tables the panel is built from. The scheme
// picture tool writes it as it is; the trace debugger writes it with the hops each link carried.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "scheme/links.h"

namespace fliran {

// Hops per link, in the order of kPanelLinks.
using THopCounts = std::array<std::uint64_t, kPanelLinks.size()>;

// Every element is a box with its name and kind (id "el_NAME"), every link an edge from its
// source element to its target labelled with the two points and the link id (id
// "link_01530E10"); a pull link is dashed and points, as the trace lines do, at the element that
// pulls. With hops, each edge also tells how many hops it carried, and those that carried any
// stand out.
std::string SchemeDot(const THopCounts* hops = nullptr);

}  // namespace fliran
