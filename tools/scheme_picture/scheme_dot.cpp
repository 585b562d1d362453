// The scheme as DOT, from the element and link tables.
#include "tools/scheme_picture/scheme_dot.h"

#include <cstdio>
#include <string_view>

#include "scheme/elements.h"

namespace fliran {

namespace {

// Whether any link starts or ends at the element.
bool Linked(std::string_view element) {
  for (const TPanelLink& link : kPanelLinks) {
    if (link.Source == element || link.Target == element) return true;
  }
  return false;
}

// Whether the element's events start chains.
bool StartsChains(std::string_view element) {
  for (const TPanelLink& link : kPanelLinks) {
    if (!link.Pull && link.Source == element) return true;
  }
  return false;
}

// How many event links call into the element.
int EventsInto(std::string_view element) {
  int count = 0;
  for (const TPanelLink& link : kPanelLinks) {
    if (!link.Pull && link.Target == element) ++count;
  }
  return count;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

std::string Node(const TPanelElement& element) {
  std::string line = "  \"" + std::string(element.Name) + "\" [id=\"el_" + std::string(element.Name) + "\", label=<<b>" +
                     std::string(element.Name) + "</b><br/><font point-size=\"9\">" + std::string(element.Kind) +
                     "</font>>";
  if (element.Window) line += ", fillcolor=\"#dbe9f6\"";
  return line + "];\n";
}

std::string Edge(const TPanelLink& link, const THopCounts* hops) {
  // A pull runs against its record: the pulled element gives, the puller takes.
  const std::string_view from = link.Pull ? link.Target : link.Source;
  const std::string_view to = link.Pull ? link.Source : link.Target;
  std::string label = std::string(link.SourcePoint) + (link.Pull ? " &lt;- " : " -&gt; ") + std::string(link.TargetPoint) +
                      "<br/>0x" + Hex(link.LinkId);
  std::string attributes = "id=\"link_" + Hex(link.LinkId) + "\"";
  if (link.Pull) attributes += ", style=dashed";
  // What leaves an element that many links call carries all their chains: a straight line
  // out of it keeps the main path (lines to the port, the port to the memo) easy to follow.
  if (const int gathered = EventsInto(from); !link.Pull && gathered > 1) {
    attributes += ", weight=" + std::to_string(gathered);
  }
  if (hops != nullptr) {
    const std::uint64_t count = (*hops)[link.Number - 1];
    label += "<br/><b>" + std::to_string(count) + (count == 1 ? " hop" : " hops") + "</b>";
    attributes += count > 0 ? ", color=\"#c0392b\", fontcolor=\"#c0392b\", penwidth=2.5"
                            : ", color=\"#b0b0b0\", fontcolor=\"#909090\"";
  }
  return "  \"" + std::string(from) + "\" -> \"" + std::string(to) + "\" [" + attributes + ", label=<" + label +
         ">];\n";
}

}  // namespace

std::string SchemeDot(const THopCounts* hops) {
  // Liberation Sans has Arial's metrics: the boxes fit their texts in either.
  const std::string font = "fontname=\"Liberation Sans,Arial,sans-serif\"";
  std::string legend = "blue: the element owns a window    dashed: a pull, towards the element that pulls";
  if (hops != nullptr) legend += "    red: the links the hops took, with how many";
  std::string dot =
      "// The panel's scheme: its elements (scheme/elements.h) and its links (scheme/links.h).\n"
      "// Each element is a box with its name and kind (blue: it owns a window), each link an edge\n"
      "// with its source and target points and its id; a dashed edge is a pull: the element it\n"
      "// points at calls the other for a value. Made from the tables (tools/scheme-picture.sh, or\n"
      "// trace_debugger --dot with the hops of a session): change the tables, not this text.\n"
      "digraph scheme {\n"
      "  rankdir=LR;\n"
      "  newrank=true;\n"
      "  mclimit=4;\n"
      "  ranksep=0.9;\n"
      "  nodesep=0.35;\n"
      "  node [shape=box, style=\"rounded,filled\", fillcolor=\"#fdf3d8\", " +
      font + ", fontsize=11, margin=\"0.12,0.04\"];\n" +
      "  edge [" + font + ", fontsize=8, arrowsize=0.7];\n" +
      "  " + font + ";\n" +
      "  fontsize=10;\n"
      "  labelloc=b;\n"
      "  label=\"" + legend + "\";\n"
      "\n";
  std::string starters = "  {rank=min;";
  std::string enders = "  {rank=max;";
  std::string unlinked;
  std::string unlinkedRow;
  for (const TPanelElement& element : kPanelElements) {
    if (!Linked(element.Name)) {
      unlinked += "  " + Node(element);
      unlinkedRow += (unlinkedRow.empty() ? "    \"" : " -> \"") + std::string(element.Name) + "\"";
      continue;
    }
    dot += Node(element);
    // The controls where only the user starts chains stand in the first column, those that
    // only show what came in the last; the sliders, which both start chains and are moved,
    // take their place in the flow.
    if (!element.Window) continue;
    const bool starts = StartsChains(element.Name);
    const bool receives = EventsInto(element.Name) > 0;
    if (starts != receives) (starts ? starters : enders) += " \"" + std::string(element.Name) + "\";";
  }
  dot += "\n" + starters + "}\n" + enders + "}\n\n";
  for (const TPanelLink& link : kPanelLinks) dot += Edge(link, hops);
  dot +=
      "\n"
      "  subgraph cluster_unlinked {\n"
      "    label=\"without links\";\n"
      "    fontsize=10;\n"
      "    style=dashed;\n"
      "    color=\"#a0a0a0\";\n" +
      unlinked + unlinkedRow + " [style=invis];\n  }\n}\n";
  return dot;
}

}  // namespace fliran
