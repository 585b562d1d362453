# The version resource (VERSIONINFO) of the Windows programs: what Windows shows in a file's
# properties (file and product version, description, product name, original file name). Every
# field comes from the one version number in project() and from the arguments here.
#
#   fliran_version_info(<target> DESCRIPTION <text>)
#
# writes <build>/version/<target>.rc from resources/version.rc.in and compiles it into <target>.

include_guard(GLOBAL)

set(FLIRAN_PRODUCT_NAME "FLIRAN Panel")
set(FLIRAN_AUTHORS "fliran-panel authors")
set(FLIRAN_COPYRIGHT "Copyright (c) 2026 ${FLIRAN_AUTHORS}, MIT licence")

enable_language(RC)

function(fliran_version_info target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION" "")
  if(NOT arg_DESCRIPTION)
    message(FATAL_ERROR "fliran_version_info(${target}): no DESCRIPTION given")
  endif()
  # The binary version has four parts; project() gives three, the fourth is 0.
  set(FLIRAN_VERSION_WORDS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(FLIRAN_FILE_DESCRIPTION "${arg_DESCRIPTION}")
  set(FLIRAN_INTERNAL_NAME "${target}")
  set(FLIRAN_ORIGINAL_FILENAME "${target}${CMAKE_EXECUTABLE_SUFFIX}")
  set(rc "${CMAKE_BINARY_DIR}/version/${target}.rc")
  configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../resources/version.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()
