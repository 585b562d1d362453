# The trace debugger (tools/trace_debugger): a console program built for the host of each preset,
# Linux in the native build and Windows in the cross build.

add_library(trace_debugger_lines STATIC tools/trace_debugger/hop_line.cpp tools/trace_debugger/session.cpp)
target_link_libraries(trace_debugger_lines PUBLIC fliran_core)

add_executable(trace_debugger tools/trace_debugger/trace_debugger.cpp)
target_link_libraries(trace_debugger PRIVATE trace_debugger_lines)
if(WIN32)
  target_link_libraries(trace_debugger PRIVATE ws2_32)
  fliran_version_info(trace_debugger DESCRIPTION "FLIRAN panel trace debugger")
else()
  # The program cases start the built debugger itself.
  fliran_add_test(trace_debugger_tests
    tests/tools/hop_line_test.cpp
    tests/tools/session_test.cpp
    tests/tools/trace_debugger_program_test.cpp
    LIBS trace_debugger_lines
  )
  target_compile_definitions(trace_debugger_tests PRIVATE FLIRAN_TRACE_DEBUGGER="$<TARGET_FILE:trace_debugger>")
  add_dependencies(trace_debugger_tests trace_debugger)
endif()
