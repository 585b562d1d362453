# The trace debugger (tools/trace_debugger) and the scheme picture (tools/scheme_picture): console
# programs built for the host of each preset, Linux in the native build and Windows in the cross
# build. Both write the scheme as a Graphviz graph with the one writer of scheme_dot.

add_library(scheme_dot STATIC tools/scheme_picture/scheme_dot.cpp)
target_include_directories(scheme_dot PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

add_executable(scheme_picture tools/scheme_picture/scheme_picture.cpp)
target_link_libraries(scheme_picture PRIVATE scheme_dot)

add_library(trace_debugger_lines STATIC tools/trace_debugger/hop_line.cpp tools/trace_debugger/session.cpp)
target_link_libraries(trace_debugger_lines PUBLIC fliran_core scheme_dot)
if(FLIRAN_FUZZ)
  return()  # the fuzz build reads datagrams with the library alone
endif()

add_executable(trace_debugger tools/trace_debugger/trace_debugger.cpp)
target_link_libraries(trace_debugger PRIVATE trace_debugger_lines)

# The web view (--web) on Linux: Debian's cpp-httplib, whose header only declares what its shared
# library holds, and nlohmann-json. Its compile flags come from its pkg-config file: they name the
# library's options (OpenSSL among them), which change the layout of its classes. The page and
# the committed picture of the scheme are built into the program. The Windows build has no web
# view: no MinGW-w64 build of the library exists there.
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(CPP_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
  find_package(nlohmann_json 3 REQUIRED)
  set(_fliran_web_assets "${CMAKE_CURRENT_BINARY_DIR}/web_assets.cpp")
  set(_fliran_web_files
    "${CMAKE_CURRENT_SOURCE_DIR}/tools/trace_debugger/web_page.html"
    "${CMAKE_CURRENT_SOURCE_DIR}/docs/scheme.svg")
  add_custom_command(
    OUTPUT "${_fliran_web_assets}"
    COMMAND "${CMAKE_COMMAND}" "-DOUTPUT=${_fliran_web_assets}" -DNAMESPACE=fliran::debugger
            "-DFILES=kWebPage=${CMAKE_CURRENT_SOURCE_DIR}/tools/trace_debugger/web_page.html|kSchemeSvg=${CMAKE_CURRENT_SOURCE_DIR}/docs/scheme.svg"
            -P "${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedFiles.cmake"
    DEPENDS ${_fliran_web_files} "${CMAKE_CURRENT_SOURCE_DIR}/cmake/EmbedFiles.cmake"
    COMMENT "Embedding the web view's page and docs/scheme.svg"
    VERBATIM)
  target_sources(trace_debugger PRIVATE tools/trace_debugger/web_view.cpp "${_fliran_web_assets}")
  target_compile_definitions(trace_debugger PRIVATE FLIRAN_WEB_VIEW)
  target_link_libraries(trace_debugger PRIVATE PkgConfig::CPP_HTTPLIB nlohmann_json::nlohmann_json)
  find_package(Threads REQUIRED)
  target_link_libraries(trace_debugger PRIVATE Threads::Threads)
endif()

if(WIN32 OR FLIRAN_WINELIB)
  target_link_libraries(trace_debugger PRIVATE ws2_32)
  fliran_version_info(trace_debugger DESCRIPTION "FLIRAN panel trace debugger")
else()
  # The program cases start the built debugger itself; the scheme case compares the graph with
  # the committed docs/scheme.dot.
  fliran_add_test(trace_debugger_tests
    tests/tools/hop_line_test.cpp
    tests/tools/scheme_dot_test.cpp
    tests/tools/session_test.cpp
    tests/tools/trace_debugger_program_test.cpp
    LIBS trace_debugger_lines
  )
  target_compile_definitions(trace_debugger_tests PRIVATE
    FLIRAN_TRACE_DEBUGGER="$<TARGET_FILE:trace_debugger>"
    FLIRAN_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}")
  add_dependencies(trace_debugger_tests trace_debugger)
endif()
