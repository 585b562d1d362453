# The trace debugger (tools/trace_debugger): a console program built for the host of each preset,
# Linux in the native build and Windows in the cross build.

add_library(trace_debugger_lines STATIC tools/trace_debugger/hop_line.cpp)
target_link_libraries(trace_debugger_lines PUBLIC fliran_core)

add_executable(trace_debugger tools/trace_debugger/trace_debugger.cpp)
target_link_libraries(trace_debugger PRIVATE trace_debugger_lines)
if(WIN32)
  target_link_libraries(trace_debugger PRIVATE ws2_32)
else()
  fliran_add_test(trace_debugger_tests tests/tools/hop_line_test.cpp LIBS trace_debugger_lines)
endif()
