# The window toolkit: the control object over Win32 and its tests (Win32 builds only).

add_library(fliran_toolkit STATIC
  toolkit/bitmap.cpp
  toolkit/combo_box.cpp
  toolkit/command_tables.cpp
  toolkit/constructors.cpp
  toolkit/control.cpp
  toolkit/control_items.cpp
  toolkit/control_proc.cpp
  toolkit/graphics.cpp
  toolkit/ini_file.cpp
  toolkit/navigation.cpp
  toolkit/screen.cpp
)
target_include_directories(fliran_toolkit PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(fliran_toolkit PUBLIC fliran_core user32 gdi32 comctl32 kernel32)

# What the Windows test programs share (child processes, files, windows, X input): compiled once
# and linked into each of them.
set(_fliran_exclude "")
if(NOT FLIRAN_TESTS)
  set(_fliran_exclude EXCLUDE_FROM_ALL)
endif()
add_library(fliran_test_support STATIC ${_fliran_exclude} tests/toolkit/toolkit_test.cpp tests/toolkit/x_input.cpp)
target_link_libraries(fliran_test_support PUBLIC fliran_toolkit)
unset(_fliran_exclude)

fliran_add_test(toolkit_tests
  tests/toolkit/control_test.cpp
  tests/toolkit/items_test.cpp
  tests/toolkit/input_test.cpp
  tests/toolkit/fatal_error_test.cpp
  tests/toolkit/graphics_test.cpp
  LIBS fliran_test_support fliran_toolkit
  TIMEOUT 120
)
