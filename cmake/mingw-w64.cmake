# The mingw preset's toolchain: 64-bit Windows programs built with MinGW-w64, statically linked
# ("-static" puts libgcc, libstdc++ and winpthread into every .exe, so it needs no MinGW DLLs).
#
# On Linux this is a cross build with Debian's x86_64-w64-mingw32 compilers; the -posix ones give
# std::thread and friends. Programs built here are run through tools/wine-run.sh.
#
# On Windows (an MSYS2 MINGW64 or UCRT64 shell) the same preset is a native build with the
# shell's gcc, g++ and windres, which use POSIX threads already; nothing needs an emulator.

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

if(CMAKE_HOST_WIN32)
  set(CMAKE_C_COMPILER   gcc)
  set(CMAKE_CXX_COMPILER g++)
  set(CMAKE_RC_COMPILER  windres)
else()

  set(CMAKE_SYSTEM_NAME Windows)
  set(CMAKE_SYSTEM_PROCESSOR x86_64)

  set(FLIRAN_MINGW_TRIPLE x86_64-w64-mingw32)
  set(CMAKE_C_COMPILER   ${FLIRAN_MINGW_TRIPLE}-gcc-posix)
  set(CMAKE_CXX_COMPILER ${FLIRAN_MINGW_TRIPLE}-g++-posix)
  set(CMAKE_RC_COMPILER  ${FLIRAN_MINGW_TRIPLE}-windres)

  set(CMAKE_FIND_ROOT_PATH /usr/${FLIRAN_MINGW_TRIPLE})
  set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
  set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
  set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

  # CTest (and gtest test discovery) start the .exe files through Wine.
  get_filename_component(_fliran_repo_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${_fliran_repo_root}/tools/wine-run.sh")
  unset(_fliran_repo_root)

endif()
