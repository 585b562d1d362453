# The fuzz targets (tests/fuzz), built by the fuzz preset: clang with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer. Each target is a program fuzz_<name>; tools/fuzz.sh runs them.
# The target `fuzzers` builds them all, and CTest runs each once over its committed corpus
# (tests/fuzz/corpus/<name>/), so every input that once failed is tried again.

include_guard(GLOBAL)

include(cmake/TraceDebugger.cmake)  # the datagram reader of the trace debugger
set(BOARD_SIM_TESTS OFF)
add_subdirectory(tools/board_sim)  # the virtual board's line reader

enable_testing()
add_custom_target(fuzzers)

# <name>=<libraries, comma-separated>
foreach(_fliran_fuzz IN ITEMS
    "text_to_number=fliran_core"
    "real_to_text=fliran_core"
    "str_list=fliran_core"
    "command_line=fliran_core"
    "trace_commands=fliran_core"
    "hop_line=trace_debugger_lines"
    "board_lines=board_sim_lib")
  string(REPLACE "=" ";" _fliran_fuzz "${_fliran_fuzz}")
  list(GET _fliran_fuzz 0 _fliran_name)
  list(GET _fliran_fuzz 1 _fliran_libs)
  string(REPLACE "," ";" _fliran_libs "${_fliran_libs}")

  add_executable(fuzz_${_fliran_name} tests/fuzz/${_fliran_name}_fuzz.cpp)
  target_link_libraries(fuzz_${_fliran_name} PRIVATE ${_fliran_libs})
  target_include_directories(fuzz_${_fliran_name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_options(fuzz_${_fliran_name} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzzers fuzz_${_fliran_name})

  add_test(NAME FuzzCorpus.${_fliran_name}
           COMMAND fuzz_${_fliran_name} -runs=0 ${CMAKE_CURRENT_SOURCE_DIR}/tests/fuzz/corpus/${_fliran_name})
  set_tests_properties(FuzzCorpus.${_fliran_name} PROPERTIES TIMEOUT 120)
endforeach()
