# Program entry, start-up modules, message loop, hint manager, and the program.

add_library(fliran_program STATIC
  runtime/command_line_win32.cpp
  runtime/info_box_win32.cpp
  runtime/message_loop_win32.cpp
  runtime/modules_win32.cpp
  runtime/trace_socket_win32.cpp
  visual/hint_manager.cpp
)
# ws2_32 is loaded at run time, and only when the trace channel opens (runtime/trace_socket_win32.cpp).
target_link_libraries(fliran_program PUBLIC fliran_toolkit fliran_core comctl32 user32 gdi32)
# Wine's Winsock header must come before the C library's headers (winelib build): the files that
# include it are compiled on their own in a unity build.
set_source_files_properties(runtime/trace_socket_win32.cpp tests/program/trace_socket_test.cpp
                            PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)

# The panel's scheme: its elements, settings and links.
add_library(fliran_scheme STATIC scheme/panel.cpp)
target_link_libraries(fliran_scheme PUBLIC fliran_visual fliran_serial)

add_executable(fliran-panel WIN32 scheme/main.cpp)
target_link_libraries(fliran-panel PRIVATE fliran_scheme)
fliran_version_info(fliran-panel DESCRIPTION "FLIRAN bird control panel")

# The icon and the picture, compiled in by windres. The rendered files are committed, so the build
# needs no image tools; a change to them recompiles the script.
enable_language(RC)
target_sources(fliran-panel PRIVATE resources/fliran.rc)
set_source_files_properties(resources/fliran.rc PROPERTIES
  INCLUDE_DIRECTORIES "${CMAKE_CURRENT_SOURCE_DIR}/resources"
  OBJECT_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/resources/zord.ico;${CMAKE_CURRENT_SOURCE_DIR}/resources/bird.bmp")

# A test program that starts the built panel finds it beside itself under this name.
function(fliran_uses_built_panel target)
  target_compile_definitions(${target} PRIVATE FLIRAN_PANEL_EXE="$<TARGET_FILE_NAME:fliran-panel>")
  add_dependencies(${target} fliran-panel)
endfunction()

fliran_add_test(program_tests
  tests/program/hint_manager_test.cpp
  tests/program/ini_file_test.cpp
  tests/program/lifecycle_test.cpp
  tests/program/close_test.cpp
  LIBS fliran_test_support fliran_program
)

# Starts the program as a separate process, or reads its resources (and the trace debugger's
# version) from the .exe.
fliran_add_test(entry_tests
  tests/program/entry_test.cpp
  tests/program/resource_test.cpp
  tests/program/version_test.cpp
  LIBS fliran_test_support fliran_toolkit version
)
fliran_uses_built_panel(entry_tests)
target_compile_definitions(entry_tests PRIVATE FLIRAN_VERSION="${PROJECT_VERSION}")
# The winelib build's .exe files are Linux shared objects, which Windows cannot map as resource
# files (icon, picture, version block), and it has no trace debugger: there the resources (compiled
# by wrc) are only what the running panel shows.
if(FLIRAN_WINELIB)
  set_source_files_properties(tests/program/resource_test.cpp tests/program/version_test.cpp
                              PROPERTIES HEADER_FILE_ONLY ON)
else()
  target_compile_definitions(entry_tests PRIVATE FLIRAN_TRACE_DEBUGGER_EXE="$<TARGET_FILE_NAME:trace_debugger>")
  add_dependencies(entry_tests trace_debugger)
endif()
# The program's entry with a panel whose construction fails half-way.
add_executable(failing_panel WIN32 scheme/main.cpp tests/program/failing_panel.cpp)
target_link_libraries(failing_panel PRIVATE fliran_scheme)
target_compile_definitions(entry_tests PRIVATE FLIRAN_FAILING_PANEL_EXE="$<TARGET_FILE_NAME:failing_panel>")
add_dependencies(entry_tests failing_panel)
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
# The sanitized winelib build makes what its tests use; the helpers only when asked for.
if(FLIRAN_WINELIB)
  set_target_properties(startup_floor startup_floor_cc startup_probe panel_floor working_set_probe
                        PROPERTIES EXCLUDE_FROM_ALL ON)
endif()

# The fair floor: the panel's window by hand in plain Win32, with the panel's resources, and its
# test against the built panel (the same windows and the same picture on the screen). A
# benchmark's program: not in the sanitized winelib build, whose programs cannot read their
# resources as Windows does.
if(NOT FLIRAN_WINELIB)
  add_executable(fair_floor WIN32 tools/bench/fair_floor.cpp resources/fliran.rc)
  target_link_libraries(fair_floor PRIVATE comctl32 gdi32)
  if(MINGW)
    target_link_options(fair_floor PRIVATE -municode)
  endif()
  fliran_add_test(fair_floor_tests
    tests/scheme/fair_floor_test.cpp
    LIBS fliran_test_support fliran_toolkit psapi
  )
  fliran_uses_built_panel(fair_floor_tests)
  target_compile_definitions(fair_floor_tests PRIVATE FLIRAN_FAIR_FLOOR_EXE="$<TARGET_FILE_NAME:fair_floor>")
  add_dependencies(fair_floor_tests fair_floor)
endif()

# The panel built in the test process and driven through its controls' notifications.
fliran_add_test(panel_tests
  tests/scheme/panel_test.cpp
  LIBS fliran_test_support fliran_scheme
  TIMEOUT 120
)

# The panel against the board simulators. The end-to-end tests run the built panel in a process of
# their own and use it with real X input.
fliran_add_board_test(panel_board_tests
  tests/scheme/panel_board_test.cpp
  tests/scheme/panel_e2e_test.cpp
  LIBS fliran_test_support fliran_scheme
  TIMEOUT 120
)
fliran_uses_built_panel(panel_board_tests)

# The trace channel's socket against UDP listeners on 127.0.0.1; each case in its own process,
# so each sees the first element of its process open the socket.
fliran_add_test(trace_socket_tests
  tests/program/trace_socket_test.cpp
  LIBS fliran_program ws2_32
)

# The built panel traced by the built trace debugger, with the board simulators (the winelib build
# has no trace debugger).
if(TARGET trace_debugger)
  fliran_add_board_test(panel_trace_tests
    tests/scheme/panel_trace_test.cpp
    LIBS fliran_test_support fliran_toolkit comctl32
    TIMEOUT 240
  )
  fliran_uses_built_panel(panel_trace_tests)
  add_dependencies(panel_trace_tests trace_debugger)
endif()
