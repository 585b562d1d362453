// TStrList, an ordered list of text lines (CP1251 bytes, never a zero byte inside a line), and
// TStrListEx, which also keeps one object value per line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/obj.h"

namespace fliran {

class TStrList : public TObj {
 public:
  TStrList() = default;

  std::int32_t Count() const { return static_cast<std::int32_t>(lines_.size()); }
  // The text of line i; empty when i is out of range.
  std::string LineText(std::int32_t i) const;

  std::int32_t AddLine(std::string_view s);
  // Inserts before line i; an index outside 0..Count is clamped into it. The text is cut at a
  // zero byte, if it has one.
  void InsertLine(std::int32_t i, std::string_view s);
  void DeleteLine(std::int32_t i);
  void Clear();

  // Splits s into lines and adds them (after clearing the list unless append is set). A line
  // ends at CR or CR LF; a lone LF stays inside its line; a final line break makes no empty
  // line. All lines of one load share one block of text, and the line array grows once.
  void LoadText(std::string_view s, bool append);
  // Every line followed by CR LF, in one string.
  std::string JoinedText() const;

  // Bytes kept in the shared text block of the loaded lines (each load adds its text and a zero).
  std::size_t TextBufferSize() const { return text_.size(); }

 protected:
  ~TStrList() override = default;

  struct Line {
    std::string own;           // text of a line added on its own
    std::size_t offset = 0;    // text of a loaded line: where it starts in text_ ...
    std::size_t length = 0;    // ... and how long it is
    bool shared = false;       // true for a loaded line
    void* object = nullptr;    // the line's object value (TStrListEx)
  };

  std::string_view View(const Line& line) const;

  std::vector<Line> lines_;

 private:
  std::string text_;  // the texts of all loaded lines, each load followed by a zero byte
};

class TStrListEx : public TStrList {
 public:
  TStrListEx() = default;

  std::int32_t AddObject(std::string_view s, void* object);
  void InsertObject(std::int32_t i, std::string_view s, void* object);
  // The object value of line i; null when i is out of range.
  void* ObjectAt(std::int32_t i) const;
  void SetObjectAt(std::int32_t i, void* object);
  // The first line whose object value is object, or -1.
  std::int32_t IndexOfObject(const void* object) const;

 protected:
  ~TStrListEx() override = default;
};

}  // namespace fliran
