# Test support: GoogleTest built from Debian's sources, fliran_add_test(), and
# the tests of the scripts (tests/scripts/, native builds only).
#
#   fliran_add_test(<name> <sources...> LIBS <libs...> [TIMEOUT <seconds>] [PORTABLE])
#
# creates the test program <name>, links it with gtest_main, gmock and <libs>
# and registers every GoogleTest case as its own CTest test (on a Windows host
# only when PORTABLE: the test needs nothing of the Linux side). The list of cases
# is read when ctest starts (DISCOVERY_MODE PRE_TEST), so a cross build never
# has to run Windows programs while building. In a cross build CTest starts
# the programs through CMAKE_CROSSCOMPILING_EMULATOR (tools/wine-run.sh); all
# of them share one Wine session, opened by a fixture before the first test
# and closed after the last. With FLIRAN_TESTS off (the release build) the test
# programs are still defined, since other targets name them, but left out of
# the default build, and no test is registered.

include_guard(GLOBAL)

if(FLIRAN_TESTS)
  enable_testing()
endif()
include(GoogleTest)

set(FLIRAN_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH
    "GoogleTest source tree (Debian package googletest)")

if(EXISTS "${FLIRAN_GTEST_SOURCE_DIR}/CMakeLists.txt" AND NOT TARGET gtest)
  # Only matters for MSVC, where gtest would otherwise pick the static CRT.
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  # EXCLUDE_FROM_ALL: only what the tests link gets built.
  # SYSTEM: our strict warnings do not apply to gtest's headers.
  add_subdirectory("${FLIRAN_GTEST_SOURCE_DIR}"
                   "${CMAKE_BINARY_DIR}/_deps/googletest"
                   EXCLUDE_FROM_ALL SYSTEM)
  foreach(_fliran_gtest_target IN ITEMS gtest gtest_main gmock gmock_main)
    if(TARGET ${_fliran_gtest_target}
       AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
      # GoogleTest's own sources are not ours to keep warning-free.
      target_compile_options(${_fliran_gtest_target} PRIVATE -w)
      if(FLIRAN_WINELIB)
        # Nor ours to check: the sanitized winelib build compiles them quickly, uninstrumented.
        target_compile_options(${_fliran_gtest_target} PRIVATE -O0 -fno-sanitize=all)
      endif()
    endif()
  endforeach()
elseif(NOT TARGET gtest)
  # No source tree (an MSYS2 shell on Windows, for instance): an installed GoogleTest.
  find_package(GTest CONFIG QUIET)
  if(NOT GTest_FOUND)
    message(FATAL_ERROR
      "GoogleTest not found: neither sources in ${FLIRAN_GTEST_SOURCE_DIR} nor an installed "
      "package. Install it with: apt-get install googletest (Debian), or "
      "pacman -S mingw-w64-x86_64-gtest (MSYS2 MINGW64).")
  endif()
endif()

# On a Windows host only the platform-free tests are registered with CTest: the others talk to
# the board simulator over a pseudo-terminal or drive the X server with xdotool, which only the
# Linux side has. Their programs are still built, so their sources keep compiling there.
set(FLIRAN_WINDOWS_HOST OFF)
if(WIN32 AND NOT CMAKE_CROSSCOMPILING)
  set(FLIRAN_WINDOWS_HOST ON)
endif()

# A cross build whose emulator is our Wine wrapper gets one Wine session per
# ctest run: the setup test starts Xvfb and a persistent wineserver, every
# test program reuses them, and the cleanup test stops them again.
set(FLIRAN_WINE_FIXTURE "")
if(FLIRAN_TESTS AND CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 _fliran_emulator)
  get_filename_component(_fliran_emulator_name "${_fliran_emulator}" NAME)
  if(_fliran_emulator_name STREQUAL "wine-run.sh")
    set(FLIRAN_WINE_FIXTURE fliran_wine)
    add_test(NAME wine_session_begin
             COMMAND "${_fliran_emulator}" --session-begin)
    add_test(NAME wine_session_end
             COMMAND "${_fliran_emulator}" --session-end)
    set_tests_properties(wine_session_begin PROPERTIES
      FIXTURES_SETUP fliran_wine TIMEOUT 600)
    set_tests_properties(wine_session_end PROPERTIES
      FIXTURES_CLEANUP fliran_wine TIMEOUT 120)
  endif()
endif()

function(fliran_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PORTABLE" "TIMEOUT" "LIBS")
  if(NOT arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "fliran_add_test(${name}): no sources given")
  endif()

  set(exclude "")
  if(NOT FLIRAN_TESTS)
    set(exclude EXCLUDE_FROM_ALL)
  endif()
  add_executable(${name} ${exclude} ${arg_UNPARSED_ARGUMENTS})
  if(WIN32)
    target_sources(${name} PRIVATE
      "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/binary_stdio.cpp")
  endif()
  target_link_libraries(${name} PRIVATE
    GTest::gtest_main GTest::gmock ${arg_LIBS})

  if(NOT FLIRAN_TESTS OR (FLIRAN_WINDOWS_HOST AND NOT arg_PORTABLE))
    return()
  endif()

  set(properties "")
  if(arg_TIMEOUT)
    list(APPEND properties TIMEOUT ${arg_TIMEOUT})
  endif()
  if(FLIRAN_WINE_FIXTURE)
    list(APPEND properties FIXTURES_REQUIRED ${FLIRAN_WINE_FIXTURE})
  endif()

  # The first Wine start of a fresh machine creates the prefix (~10-20 s),
  # hence the generous discovery timeout.
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 300
    WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
    PROPERTIES ${properties})
endfunction()

# Tests of the scripts in tools/ that need no Windows program run in the native
# build: the serial device preparation of the run script, the Wine runner's
# rerun rule, the prefixes and processes the scripts may touch, and the switch
# to the sudo user. A script that exits with 77 was skipped.
if(FLIRAN_TESTS AND NOT WIN32 AND NOT FLIRAN_WINELIB)
  foreach(_fliran_script_test IN ITEMS
      "SerialLine.PreparedPtyPassesAllByteValues=serial_line_test.sh"
      "WineRun.RerunsOnlyAfterTeardownAbort=wine_rerun_test.sh"
      "WinePrefix.ForeignFoldersAndStalePidsAreLeftAlone=wine_prefix_test.sh"
      "Sudo.EverythingButThePackagesRunsAsTheUser=sudo_user_test.sh")
    string(REPLACE "=" ";" _fliran_script_test "${_fliran_script_test}")
    list(GET _fliran_script_test 0 _fliran_name)
    list(GET _fliran_script_test 1 _fliran_file)
    add_test(NAME ${_fliran_name}
             COMMAND bash "${CMAKE_CURRENT_LIST_DIR}/../tests/scripts/${_fliran_file}")
    set_tests_properties(${_fliran_name} PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77)
  endforeach()
endif()
