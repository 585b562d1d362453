# The serial port element, its tests and its write benchmark (Windows builds only).
#
#   fliran_serial         elements/serial_port.cpp over kernel32's serial calls
#   serial_tests          GoogleTest cases, each run under Wine by
#                         tests/serial/with-boards.sh with fresh board simulators
#                         on COM3, COM4, COM5, COM6, COM7, COM8 and COM12
#   serial_board_sim      the board simulator (tools/board_sim), built natively
#                         into <build>/board_sim: the tests run it on the Linux side
#   serial_element_bench, serial_floor_bench
#                         the two programs of tools/serial-bench.sh

include_guard(GLOBAL)

add_library(fliran_serial STATIC elements/serial_port.cpp)
target_link_libraries(fliran_serial PUBLIC fliran_core)

# The simulator is a Linux program: it is configured on its own with the host
# compiler (no toolchain file is passed on), so the cross build can still make it.
# A Windows host has no pseudo-terminals for it: there it is not built.
set(FLIRAN_BOARD_SIM "${CMAKE_BINARY_DIR}/board_sim/board_sim")
if(CMAKE_HOST_UNIX)
  include(ExternalProject)
  ExternalProject_Add(serial_board_sim
    SOURCE_DIR "${CMAKE_CURRENT_LIST_DIR}/../tools/board_sim"
    BINARY_DIR "${CMAKE_BINARY_DIR}/board_sim"
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DBOARD_SIM_TESTS=OFF
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS "${FLIRAN_BOARD_SIM}"
  )
endif()

# fliran_add_board_test(<name> ...) is fliran_add_test() for programs that talk to the board
# simulators: every case runs through with-boards.sh instead of the plain Wine runner (the emulator
# of a target is taken from CMAKE_CROSSCOMPILING_EMULATOR when the target is made, and
# gtest_discover_tests uses it for listing and running).
function(fliran_add_board_test name)
  # The options of the plain runner (--env NAME=VALUE, after its path) go on to with-boards.sh.
  set(runner_options ${CMAKE_CROSSCOMPILING_EMULATOR})
  list(POP_FRONT runner_options)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tests/serial/with-boards.sh" --board-sim "${FLIRAN_BOARD_SIM}"
      ${runner_options})
  fliran_add_test(${name} ${ARGN})
  if(TARGET serial_board_sim)
    add_dependencies(${name} serial_board_sim)
  endif()
endfunction()

fliran_add_board_test(serial_tests
  tests/serial/closed_port_test.cpp
  tests/serial/open_test.cpp
  tests/serial/io_test.cpp
  tests/serial/vanishing_test.cpp
  LIBS fliran_serial
  TIMEOUT 60
)

add_executable(serial_element_bench tools/bench/serial_element_bench.cpp)
target_link_libraries(serial_element_bench PRIVATE fliran_serial)
add_executable(serial_floor_bench tools/bench/serial_floor_bench.cpp)
if(FLIRAN_WINELIB)
  set_target_properties(serial_element_bench serial_floor_bench PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
