# The Debian package (CPack's DEB generator): orvane-panel_VERSION_ARCH.deb with the program, its
# .desktop file and icons (app/linux), and what Debian policy asks of every package: the copyright
# file, the changelog and the manual page, compressed with gzip -9n. Dependencies are read from the
# program by dpkg-shlibdeps (package dpkg-dev).
include(GNUInstallDirs)

set(debian_dir ${CMAKE_CURRENT_LIST_DIR})
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/orvane-panel)

# The changelog's newest entry is this version: a version bump without an entry fails here.
file(STRINGS ${debian_dir}/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^orvane-panel \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog has no entry for ${PROJECT_VERSION} at its top")
endif()

set(compressed)
foreach(source changelog orvane-panel.1)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/debian/${source}.gz)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/debian
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${debian_dir}/${source} ${output}
    DEPENDS ${debian_dir}/${source}
    VERBATIM)
  list(APPEND compressed ${output})
endforeach()
add_custom_target(debian_docs ALL DEPENDS ${compressed})

install(FILES ${debian_dir}/copyright ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.gz
        DESTINATION ${doc_dir})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/debian/orvane-panel.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_NAME orvane-panel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # orvane-panel_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "${ORVANE_VENDOR} <maintainers@users.noreply.c-seed-a0372c5b.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; CPack indents these lines below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Switches the channels, balance and load relays of an Orvane I/O Switcher's
two measurement buses and shows the DC voltage on each bus. This build runs
on a built-in simulated host, so the panel can be tried without a switcher.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Directories and files as Debian expects them, whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
