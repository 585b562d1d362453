// TStrList and TStrListEx.
#include "toolkit/str_list.h"

#include <algorithm>
#include <cstring>

namespace fliran {

namespace {

// Lines never contain a zero byte: a text with one ends there.
std::string_view UpToZero(std::string_view s) { return s.substr(0, s.find('\0')); }

}  // namespace

std::string_view TStrList::View(const Line& line) const {
  if (line.shared) return std::string_view(text_).substr(line.offset, line.length);
  return line.own;
}

std::string TStrList::LineText(std::int32_t i) const {
  if (i < 0 || i >= Count()) return {};
  return std::string(View(lines_[static_cast<std::size_t>(i)]));
}

std::int32_t TStrList::AddLine(std::string_view s) {
  const std::int32_t index = Count();
  InsertLine(index, s);
  return index;
}

void TStrList::InsertLine(std::int32_t i, std::string_view s) {
  i = std::clamp(i, 0, Count());
  Line line;
  line.own = UpToZero(s);
  lines_.insert(lines_.begin() + i, std::move(line));
}

void TStrList::DeleteLine(std::int32_t i) {
  if (i < 0 || i >= Count()) return;
  lines_.erase(lines_.begin() + i);
}

void TStrList::Clear() {
  lines_.clear();
  lines_.shrink_to_fit();
  text_.clear();
  text_.shrink_to_fit();
}

void TStrList::LoadText(std::string_view s, bool append) {
  if (!append) Clear();
  s = UpToZero(s);
  if (s.empty()) return;

  // Loaded lines refer to the block by offset, so growing it moves no line.
  const std::size_t start = text_.size();
  text_.reserve(start + s.size() + 1);
  text_.append(s);
  text_.push_back('\0');

  const char* const begin = text_.data() + start;
  const char* const end = begin + s.size();
  // Just behind the next CR (the end of the text if there is none), and over a following LF.
  auto nextLineStart = [end](const char* p, const char** lineEnd) {
    const void* cr = std::memchr(p, '\r', static_cast<std::size_t>(end - p));
    const char* stop = cr != nullptr ? static_cast<const char*>(cr) : end;
    *lineEnd = stop;
    p = stop == end ? end : stop + 1;
    if (p != end && *p == '\n') ++p;
    return p;
  };

  std::size_t lineCount = 0;
  const char* lineEnd = nullptr;
  for (const char* p = begin; p != end; p = nextLineStart(p, &lineEnd)) ++lineCount;
  lines_.reserve(lines_.size() + lineCount);

  for (const char* p = begin; p != end;) {
    const char* next = nextLineStart(p, &lineEnd);
    Line line;
    line.shared = true;
    line.offset = static_cast<std::size_t>(p - text_.data());
    line.length = static_cast<std::size_t>(lineEnd - p);
    lines_.push_back(std::move(line));
    p = next;
  }
}

std::string TStrList::JoinedText() const {
  std::size_t total = 0;
  for (const Line& line : lines_) total += View(line).size() + 2;
  std::string text;
  text.reserve(total);
  for (const Line& line : lines_) {
    text += View(line);
    text += "\r\n";
  }
  return text;
}

std::int32_t TStrListEx::AddObject(std::string_view s, void* object) {
  const std::int32_t index = AddLine(s);
  lines_[static_cast<std::size_t>(index)].object = object;
  return index;
}

void TStrListEx::InsertObject(std::int32_t i, std::string_view s, void* object) {
  i = std::clamp(i, 0, Count());
  InsertLine(i, s);
  lines_[static_cast<std::size_t>(i)].object = object;
}

void* TStrListEx::ObjectAt(std::int32_t i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return lines_[static_cast<std::size_t>(i)].object;
}

void TStrListEx::SetObjectAt(std::int32_t i, void* object) {
  if (i < 0 || i >= Count()) return;
  lines_[static_cast<std::size_t>(i)].object = object;
}

std::int32_t TStrListEx::IndexOfObject(const void* object) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].object == object) return static_cast<std::int32_t>(i);
  }
  return -1;
}

}  // namespace fliran
