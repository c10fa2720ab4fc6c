# Install rules and packages: a Debian package on Linux, a .zip for Windows.
#   cmake --install build --prefix /usr/local
#   cd build && cpack
include(GNUInstallDirs)

install(TARGETS quorvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/quorvex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VENDOR "quorvex")
set(CPACK_PACKAGE_CONTACT "quorvex maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Reads the text logs of a video switching and routing automation \
and reports on transition timing, router delays, timecode command errors, takes and grep hits.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  find_program(QUORVEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(QUORVEX_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  endif()
endif()

include(CPack)
