// Linked with the program's own entry (scheme/main.cpp) into failing_panel.exe: the panel whose
// construction throws once its twelfth element, the picture, is complete, so that the entry
// tests see what the program does with an exception while the scheme is built.
#include <cstddef>
#include <stdexcept>
#include <string>

#include "runtime/cp1251.h"
#include "scheme/panel.h"

namespace {

using fliran::operator""_cp1251;

const bool installed = [] {
  fliran::TClassMainForm_14B8550::ElementBuilt = [](std::size_t number) {
    if (number == 12) throw std::runtime_error(std::string("панель не построена"_cp1251));
  };
  return true;
}();

}  // namespace
