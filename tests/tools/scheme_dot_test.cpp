// The scheme's graph: it shows every element and link of the tables, and the committed
// docs/scheme.dot (rendered into docs/scheme.svg and docs/scheme.png) is the graph of the tables
// as they are now.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "scheme/elements.h"
#include "scheme/links.h"
#include "tools/scheme_picture/scheme_dot.h"

namespace fliran {
namespace {

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
  return text;
}

// The line of the edge with id "link_<id>".
std::string EdgeLine(const std::string& dot, std::uint32_t linkId) {
  const std::size_t at = dot.find("[id=\"link_" + Hex(linkId) + "\"");
  if (at == std::string::npos) return {};
  const std::size_t begin = dot.rfind('\n', at) + 1;
  return dot.substr(begin, dot.find('\n', at) - begin);
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

TEST(SchemeDot, ShowsEveryElementAndLinkAndMatchesTheCommittedPicture) {
  const std::string dot = SchemeDot();
  EXPECT_EQ(Occurrences(dot, "[id=\"el_"), kPanelElements.size());
  for (const TPanelElement& element : kPanelElements) {
    SCOPED_TRACE(element.Name);
    const std::string node = "  \"" + std::string(element.Name) + "\" [id=\"el_" + std::string(element.Name) + "\"";
    const std::size_t at = dot.find(node);
    ASSERT_NE(at, std::string::npos);
    EXPECT_NE(dot.find(std::string(element.Kind), at), std::string::npos);
  }
  EXPECT_EQ(Occurrences(dot, "[id=\"link_"), kPanelLinks.size());
  for (const TPanelLink& link : kPanelLinks) {
    SCOPED_TRACE(link.Number);
    const std::string edge = EdgeLine(dot, link.LinkId);
    // A pull is drawn the way its value goes: from the element pulled from to the puller.
    const std::string from(link.Pull ? link.Target : link.Source);
    const std::string to(link.Pull ? link.Source : link.Target);
    EXPECT_EQ(edge.rfind("  \"" + from + "\" -> \"" + to + "\" ", 0), 0u) << edge;
    EXPECT_NE(edge.find(std::string(link.SourcePoint) + (link.Pull ? " &lt;- " : " -&gt; ") +
                        std::string(link.TargetPoint) + "<br/>0x" + Hex(link.LinkId)),
              std::string::npos)
        << edge;
    EXPECT_EQ(edge.find("style=dashed") != std::string::npos, link.Pull) << edge;
    EXPECT_EQ(edge.find(" hop"), std::string::npos) << edge;
  }

  std::ifstream committed(FLIRAN_SOURCE_DIR "/docs/scheme.dot", std::ios::binary);
  ASSERT_TRUE(committed) << "docs/scheme.dot is missing";
  const std::string text((std::istreambuf_iterator<char>(committed)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(text == dot) << "docs/scheme.dot no longer shows scheme/elements.h and scheme/links.h: run "
                              "tools/scheme-picture.sh and commit docs/scheme.dot, docs/scheme.svg and "
                              "docs/scheme.png";
}

}  // namespace
}  // namespace fliran
