# Program entry, start-up modules, message loop, hint manager, and the program.

add_library(fliran_program STATIC
  runtime/command_line_win32.cpp
  runtime/info_box_win32.cpp
  runtime/message_loop_win32.cpp
  runtime/modules_win32.cpp
  visual/hint_manager.cpp
)
target_link_libraries(fliran_program PUBLIC fliran_toolkit fliran_core comctl32 user32 gdi32)

# The panel's scheme: its elements, settings and links.
add_library(fliran_scheme STATIC scheme/panel.cpp)
target_link_libraries(fliran_scheme PUBLIC fliran_visual fliran_serial)

add_executable(fliran-panel WIN32 scheme/main.cpp)
target_link_libraries(fliran-panel PRIVATE fliran_scheme)

# The icon and the picture, compiled in by windres. The rendered files are committed, so the build
# needs no image tools; a change to them recompiles the script.
enable_language(RC)
target_sources(fliran-panel PRIVATE resources/fliran.rc)
set_source_files_properties(resources/fliran.rc PROPERTIES
  INCLUDE_DIRECTORIES "${CMAKE_CURRENT_SOURCE_DIR}/resources"
  OBJECT_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/resources/zord.ico;${CMAKE_CURRENT_SOURCE_DIR}/resources/bird.bmp")

fliran_add_test(program_tests
  tests/program/hint_manager_test.cpp
  tests/program/ini_file_test.cpp
  tests/program/lifecycle_test.cpp
  tests/program/close_test.cpp
  tests/toolkit/x_input.cpp
  tests/toolkit/toolkit_test.cpp
  LIBS fliran_program
)

# Starts the program as a separate process, or reads its resources from the .exe.
fliran_add_test(entry_tests
  tests/program/entry_test.cpp
  tests/program/resource_test.cpp
  tests/toolkit/x_input.cpp
  tests/toolkit/toolkit_test.cpp
  LIBS fliran_toolkit
)
target_compile_definitions(entry_tests PRIVATE FLIRAN_PANEL_EXE="$<TARGET_FILE_NAME:fliran-panel>")
add_dependencies(entry_tests fliran-panel)
add_dependencies(program_tests fliran-panel)

# Start-up benchmark helpers (tools/startup-bench.sh).
add_executable(startup_floor WIN32 tools/bench/startup_floor.cpp)
target_link_options(startup_floor PRIVATE -municode)
add_executable(startup_floor_cc WIN32 tools/bench/startup_floor.cpp)
target_compile_definitions(startup_floor_cc PRIVATE FLOOR_COMMON_CONTROLS)
target_link_libraries(startup_floor_cc PRIVATE comctl32)
target_link_options(startup_floor_cc PRIVATE -municode)
target_include_directories(startup_floor_cc PRIVATE ${CMAKE_SOURCE_DIR})
add_executable(startup_probe tools/bench/startup_probe.cpp)
target_link_options(startup_probe PRIVATE -municode)
target_include_directories(startup_floor PRIVATE ${CMAKE_SOURCE_DIR})
target_include_directories(startup_probe PRIVATE ${CMAKE_SOURCE_DIR})

# Input benchmark helpers (tools/panel-bench.sh): the floor program with one button and one
# slider writing to a COM port, and the probe that reads the programs' working sets. Plain
# Win32, so they build with any Windows compiler too.
add_executable(panel_floor WIN32 tools/bench/panel_floor.cpp)
target_link_libraries(panel_floor PRIVATE comctl32 shell32)
add_executable(working_set_probe tools/bench/working_set_probe.cpp)
target_link_libraries(working_set_probe PRIVATE psapi)
if(MINGW)
  target_link_options(panel_floor PRIVATE -municode)
  target_link_options(working_set_probe PRIVATE -municode)
endif()

# The panel built in the test process and driven through its controls' notifications.
fliran_add_test(panel_tests
  tests/scheme/panel_test.cpp
  tests/toolkit/toolkit_test.cpp
  tests/toolkit/x_input.cpp
  LIBS fliran_scheme
  TIMEOUT 120
)

# The panel against the board simulators: run through with-boards.sh as the serial tests are.
set(_fliran_program_saved_emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../tests/serial/with-boards.sh;--board-sim;${FLIRAN_BOARD_SIM}")
fliran_add_test(panel_board_tests
  tests/scheme/panel_board_test.cpp
  tests/toolkit/toolkit_test.cpp
  tests/toolkit/x_input.cpp
  LIBS fliran_scheme
  TIMEOUT 60
)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_fliran_program_saved_emulator}")
unset(_fliran_program_saved_emulator)
add_dependencies(panel_board_tests serial_board_sim)
