# Read by cpack once for each package kind (CPACK_PROJECT_CONFIG_FILE): the installer is named
# fliran-panel-<version>-win64-setup.exe beside the zip fliran-panel-<version>-win64.zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
