# Builds the Windows installer with msitools' wixl; run as a script by the msi target (and by the
# installer test stage, for a second, newer version of the same program):
#   cmake -D EXE=... -D ICON=... -D VERSION=1.2.3 -D VENDOR=... -D OUTPUT=....msi
#         -D WORK=folder -P BuildMsi.cmake
# wixl reads its sources by relative name only, so the program, the icon and the descriptor are
# staged in WORK first. The staged program and the installer are then signed by
# scripts/sign-windows, which signs nothing unless a certificate is given (see there).
cmake_minimum_required(VERSION 3.25)

foreach(variable EXE ICON VERSION VENDOR OUTPUT WORK)
  if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "")
    message(FATAL_ERROR "BuildMsi.cmake needs -D ${variable}=...")
  endif()
endforeach()
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "An installer's version is MAJOR.MINOR.PATCH, not '${VERSION}'")
endif()
find_program(WIXL wixl)
if(NOT WIXL)
  message(FATAL_ERROR "wixl not found (Debian package wixl; scripts/setup with ORVANE_WINDOWS=1)")
endif()

get_filename_component(here "${CMAKE_CURRENT_LIST_FILE}" DIRECTORY)
set(sign "${here}/../../scripts/sign-windows")

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
file(COPY_FILE "${EXE}" "${WORK}/orvane-panel.exe")
file(COPY_FILE "${ICON}" "${WORK}/orvane.ico")
file(COPY_FILE "${here}/orvane-panel.wxs" "${WORK}/orvane-panel.wxs")

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE failed)
  if(failed)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "failed (${failed}): ${command}")
  endif()
endfunction()

run(bash "${sign}" "${WORK}/orvane-panel.exe")
run("${WIXL}" --arch x64 --define "Version=${VERSION}" --define "Vendor=${VENDOR}"
    --define ExeSource=orvane-panel.exe --define IconSource=orvane.ico
    --output "${OUTPUT}" orvane-panel.wxs)
run(bash "${sign}" "${OUTPUT}")
message(STATUS "Windows installer: ${OUTPUT}")
