// String lists: any text splits by the line-break rules (a line ends at CR or CR LF, a zero byte
// ends the text), a load appended behind lines of their own keeps them, and loading the joined
// text of the lines gives the same lines back.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"
#include "toolkit/str_list.h"

namespace {

using Lines = std::vector<std::string>;

Lines ReferenceLines(std::string_view s) {
  s = s.substr(0, s.find('\0'));
  Lines lines;
  std::size_t p = 0;
  while (p < s.size()) {
    const std::size_t cr = std::min(s.find('\r', p), s.size());
    lines.emplace_back(s.substr(p, cr - p));
    p = cr + 1;
    if (p < s.size() && s[p] == '\n') ++p;
  }
  return lines;
}

Lines LinesOf(const fliran::TStrList& list) {
  Lines lines;
  for (std::int32_t i = 0; i < list.Count(); ++i) lines.push_back(list.LineText(i));
  return lines;
}

Lines Loaded(std::string_view text) {
  fliran::TObjPtr<fliran::TStrList> list = fliran::MakeObj<fliran::TStrList>();
  list->LoadText(text, false);
  return LinesOf(*list);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte says where the text is cut into a first load and an appended one.
  const std::string_view text = FuzzText(data + 1, size - 1);
  const std::size_t cut = text.size() * data[0] / 255;
  const std::string_view first = text.substr(0, cut), second = text.substr(cut);

  const Lines firstLines = Loaded(first), secondLines = Loaded(second);
  FUZZ_CHECK(firstLines == ReferenceLines(first));
  FUZZ_CHECK(secondLines == ReferenceLines(second));

  fliran::TObjPtr<fliran::TStrList> list = fliran::MakeObj<fliran::TStrList>();
  list->LoadText(first, false);
  list->AddLine("own");
  list->LoadText(second, true);
  Lines expected = firstLines;
  expected.push_back("own");
  expected.insert(expected.end(), secondLines.begin(), secondLines.end());
  const Lines lines = LinesOf(*list);
  FUZZ_CHECK(lines == expected);

  const std::string joined = list->JoinedText();
  FUZZ_CHECK(Loaded(joined) == lines);
  std::size_t length = 0;
  for (const std::string& line : lines) {
    FUZZ_CHECK(line.find_first_of(std::string_view("\r\0", 2)) == std::string::npos);
    length += line.size() + 2;
  }
  FUZZ_CHECK(joined.size() == length);
  return 0;
}
