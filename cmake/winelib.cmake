# The winelib preset's toolchain: the Windows code built with Wine's own tool chain (winegcc,
# wineg++ and wrc from Debian's wine64-tools) into Linux shared objects that Wine loads as
# programs. The code runs on Linux's C and C++ libraries under Wine's Win32 headers, so the host
# compiler's AddressSanitizer and UndefinedBehaviorSanitizer can watch it; the tests run under
# tools/wine-run.sh as in the mingw preset.
#
# What differs from a Windows compiler, and what the build does about it:
#   - wchar_t is 16 bits (-fshort-wchar) but the C library's wide functions (wcslen, wmemcpy, %ls)
#     take 32-bit characters: the code keeps to the platform's calls and WideString
#     (runtime/wide_string.h), and GoogleTest is told it has no std::wstring.
#   - _WIN32 is defined for Wine's headers, yet the C runtime is Linux's: GoogleTest takes its Linux
#     branch (winelib-gtest.h, read before every C++ file).
#   - winegcc writes PROGRAM.exe as a shell script that starts PROGRAM.exe.so; the link step puts
#     the module itself in its place, so that Wine starts it wherever an .exe is started (by the
#     test runner and by CreateProcess) and a program finds itself under its .exe name.
#
# This file is read twice: first as the toolchain, then once more, after CMake's own rules for
# Linux (CMAKE_USER_MAKE_RULES_OVERRIDE), to give executables their .exe suffix back.

if(CMAKE_C_COMPILER_ID OR CMAKE_CXX_COMPILER_ID)
  set(CMAKE_EXECUTABLE_SUFFIX .exe)
  return()
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER   winegcc)
set(CMAKE_CXX_COMPILER wineg++)
set(CMAKE_RC_COMPILER  wrc)
set(CMAKE_USER_MAKE_RULES_OVERRIDE "${CMAKE_CURRENT_LIST_FILE}")

# The project's switch for what only this build does differently.
set(FLIRAN_WINELIB ON)

# NOMINMAX: Wine's headers define the min and max macros for C++ too, MinGW's only for C.
# -Wno-ignored-attributes: Wine's callback types carry ms_abi, which g++ drops (and says so) when
# such a type is a template argument, as in a map of window procedures.
set(CMAKE_CXX_FLAGS_INIT
    "-m64 -include ${CMAKE_CURRENT_LIST_DIR}/winelib-gtest.h -DGTEST_HAS_STD_WSTRING=0 -DNOMINMAX -Wno-ignored-attributes")
set(CMAKE_C_FLAGS_INIT "-m64")

# Programs of the WIN32 kind get the GUI subsystem, as with MinGW.
foreach(_fliran_lang IN ITEMS C CXX)
  set(CMAKE_${_fliran_lang}_CREATE_WIN32_EXE "-mwindows")
  set(CMAKE_${_fliran_lang}_LINK_EXECUTABLE
      "<CMAKE_${_fliran_lang}_COMPILER> <FLAGS> <CMAKE_${_fliran_lang}_LINK_FLAGS> <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>"
      "mv -f <TARGET>.so <TARGET>")
endforeach()
unset(_fliran_lang)
set(CMAKE_RC_COMPILE_OBJECT "<CMAKE_RC_COMPILER> <DEFINES> <INCLUDES> <FLAGS> -o <OBJECT> <SOURCE>")

# CTest (and gtest test discovery) start the programs through Wine.
get_filename_component(_fliran_repo_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_fliran_repo_root}/tools/wine-run.sh")
unset(_fliran_repo_root)
