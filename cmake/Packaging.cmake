# What CPack makes of the install rules: a portable ZIP in Windows builds (the msi target in
# app/windows builds the installer beside it), a Debian package in Linux builds
# (packaging/debian). Both carry the project's version.
set(CPACK_PACKAGE_NAME orvane-panel)
set(CPACK_PACKAGE_VENDOR "${ORVANE_VENDOR}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front panel for the Orvane I/O Switcher")
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME orvane-panel-${PROJECT_VERSION}-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  include(${PROJECT_SOURCE_DIR}/packaging/debian/Debian.cmake)
endif()

include(CPack)
