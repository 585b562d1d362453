# The release packages, made by CPack from the `release` preset (tools/release.sh):
#
#   fliran-panel-<version>-win64.zip         the programs, README.txt and LICENSE.txt in one folder
#   fliran-panel-<version>-win64-setup.exe   an NSIS installer of the same files (template in
#                                            cmake/packaging/NSIS.template.in)
#
# The programs are installed stripped; the texts get Windows line ends, so that every editor on
# Windows shows them as lines.

include_guard(GLOBAL)

install(TARGETS fliran-panel trace_debugger RUNTIME DESTINATION .)

set(_fliran_texts "${CMAKE_BINARY_DIR}/package-texts")
configure_file(docs/README.txt.in "${_fliran_texts}/README.txt" @ONLY NEWLINE_STYLE CRLF)
configure_file(LICENSE "${_fliran_texts}/LICENSE.txt" @ONLY NEWLINE_STYLE CRLF)
install(FILES "${_fliran_texts}/README.txt" "${_fliran_texts}/LICENSE.txt" DESTINATION .)

set(CPACK_PACKAGE_NAME fliran-panel)
set(CPACK_PACKAGE_VENDOR "${FLIRAN_AUTHORS}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VERSION_MAJOR "${PROJECT_VERSION_MAJOR}")
set(CPACK_PACKAGE_VERSION_MINOR "${PROJECT_VERSION_MINOR}")
set(CPACK_PACKAGE_VERSION_PATCH "${PROJECT_VERSION_PATCH}")
set(CPACK_PACKAGE_FILE_NAME "fliran-panel-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${FLIRAN_PRODUCT_NAME}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "${FLIRAN_PRODUCT_NAME}")
set(CPACK_RESOURCE_FILE_LICENSE "${_fliran_texts}/LICENSE.txt")
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_STRIP_FILES ON)
# The installer's file name ends in -setup (read by cpack for each package kind).
set(CPACK_PROJECT_CONFIG_FILE "${CMAKE_CURRENT_LIST_DIR}/packaging/CPackOptions.cmake")

# The installer: our own template (64-bit, Program Files, one Start-menu shortcut).
set(CPACK_MODULE_PATH "${CMAKE_CURRENT_LIST_DIR}/packaging")
set(CPACK_NSIS_PACKAGE_NAME "${FLIRAN_PRODUCT_NAME}")
set(CPACK_NSIS_DISPLAY_NAME "${FLIRAN_PRODUCT_NAME}")
set(CPACK_NSIS_MUI_ICON "${CMAKE_SOURCE_DIR}/resources/zord.ico")
set(CPACK_NSIS_MUI_UNIICON "${CMAKE_SOURCE_DIR}/resources/zord.ico")
set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_FLIRAN_COPYRIGHT "${FLIRAN_COPYRIGHT}")

include(CPack)

# The packages' test (tests/scripts/release_test.sh, run after the mingw preset's tests) reads the
# installed Start-menu shortcut with this program.
if(FLIRAN_TESTS)
  add_executable(shortcut_probe tests/scripts/shortcut_probe.cpp)
  target_link_libraries(shortcut_probe PRIVATE ole32 uuid)
  if(MINGW)
    target_link_options(shortcut_probe PRIVATE -municode)
  endif()
endif()
