# Program entry, message loop, hint manager and the small Win32 helpers around them.

add_library(fliran_program STATIC
  runtime/command_line_win32.cpp
  toolkit/ini_file.cpp
  toolkit/screen.cpp
  visual/hint_manager.cpp
)
target_link_libraries(fliran_program PUBLIC fliran_core comctl32 user32 gdi32)

fliran_add_test(program_tests
  tests/program/hint_manager_test.cpp
  tests/program/ini_file_test.cpp
  LIBS fliran_program
)
