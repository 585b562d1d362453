# Writes a C++ source that holds files as byte arrays, run at build time:
#   cmake -DOUTPUT=FILE.cpp -DNAMESPACE=NS "-DFILES=kName=PATH|kOther=PATH" -P cmake/EmbedFiles.cmake
# Each file becomes `extern const char kName[]` (its bytes and a zero byte after them) and
# `extern const std::size_t kNameSize` (its length without that zero) in namespace NS.
set(source "// Made by cmake/EmbedFiles.cmake from the files named below; do not edit.\n#include <cstddef>\n\nnamespace ${NAMESPACE} {\n")
string(REPLACE "|" ";" FILES "${FILES}")
foreach(entry IN LISTS FILES)
  string(FIND "${entry}" "=" split)
  string(SUBSTRING "${entry}" 0 ${split} name)
  math(EXPR start "${split} + 1")
  string(SUBSTRING "${entry}" ${start} -1 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  # Sixteen bytes a line.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
  string(REGEX REPLACE "(('[^']+',){16})" "\\1\n  " bytes "${bytes}")
  string(APPEND source "\n// ${path}\nextern const char ${name}[] = {\n  ${bytes}'\\0'};\nextern const std::size_t ${name}Size = ${size};\n")
endforeach()
string(APPEND source "\n}  // namespace ${NAMESPACE}\n")
# Unchanged contents keep the file's time, so nothing is compiled again for nothing.
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL source)
  file(WRITE "${OUTPUT}" "${source}")
endif()
