# Install rules and packages: a Debian package on Linux, a .zip for Windows.
#   cmake --install build --prefix /usr/local
#   cd build && cpack
include(GNUInstallDirs)

set(QUORVEX_MAINTAINER "quorvex developers <quorvex@example.org>")
set(QUORVEX_PACKAGE_FILES ${CMAKE_CURRENT_BINARY_DIR}/package)

# Debian's copyright file: the notice and the licence text of LICENSE.
function(quorvex_write_copyright path)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${license}")
  set(holder "${CMAKE_MATCH_1}")
  string(FIND "${license}" "Permission is hereby granted" start)
  string(SUBSTRING "${license}" ${start} -1 terms)
  string(STRIP "${terms}" terms)
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " terms "${terms}")
  file(WRITE ${path}
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: quorvex\n\n"
    "Files: *\nCopyright: ${holder}\nLicense: Expat\n ${terms}\n")
endfunction()

# A native package's changelog: one entry for this version, dated by
# SOURCE_DATE_EPOCH when set (reproducible builds), else the configure time.
function(quorvex_write_changelog path)
  string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE ${path}
    "quorvex (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}.\n\n"
    " -- ${QUORVEX_MAINTAINER}  ${date}\n")
endfunction()

# Debian wants the man page and the changelog compressed with "gzip -9n" (no
# name, no time stamp, so the bytes do not change between builds).
function(quorvex_gzip_at_build source target_var)
  get_filename_component(name ${source} NAME)
  set(copy ${QUORVEX_PACKAGE_FILES}/gz/${name})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${QUORVEX_GZIP} -9nf ${copy}
    DEPENDS ${source} VERBATIM)
  set(${target_var} ${copy}.gz PARENT_SCOPE)
endfunction()

function(quorvex_install_unix_files)
  install(TARGETS quorvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The source README speaks of the scripts, tests and sample log, which an
  # installed package does not hold: it gets a README of its own.
  install(FILES ${PROJECT_SOURCE_DIR}/docs/README.package.md DESTINATION ${CMAKE_INSTALL_DOCDIR}
          RENAME README.md)
  install(FILES ${PROJECT_SOURCE_DIR}/qv.cfg.sample DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  # The README shows these pictures.
  install(FILES ${PROJECT_SOURCE_DIR}/docs/chart-day.png ${PROJECT_SOURCE_DIR}/docs/chart-week.png
          ${PROJECT_SOURCE_DIR}/docs/chart-month.png
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/monitoring/quorvex-rules.yml
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs/monitoring)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  quorvex_write_copyright(${QUORVEX_PACKAGE_FILES}/copyright)
  install(FILES ${QUORVEX_PACKAGE_FILES}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  quorvex_write_changelog(${QUORVEX_PACKAGE_FILES}/changelog)

  find_program(QUORVEX_GZIP gzip)
  if(NOT QUORVEX_GZIP)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/quorvex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${QUORVEX_PACKAGE_FILES}/changelog DESTINATION ${CMAKE_INSTALL_DOCDIR})
    return()
  endif()
  quorvex_gzip_at_build(${PROJECT_SOURCE_DIR}/docs/quorvex.1 man_page)
  quorvex_gzip_at_build(${QUORVEX_PACKAGE_FILES}/changelog changelog)
  add_custom_target(quorvex_docs ALL DEPENDS ${man_page} ${changelog})
  install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endfunction()

if(WIN32)
  # One folder to unpack anywhere: the .exe beside its documents, which get
  # CR LF line ends and .txt names so that any Windows editor opens them.
  install(TARGETS quorvex RUNTIME DESTINATION .)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
    ${PROJECT_SOURCE_DIR}/qv.cfg.sample)
  foreach(pair IN ITEMS "README.md:README.txt" "LICENSE:LICENSE.txt" "qv.cfg.sample:qv.cfg.sample")
    string(REPLACE ":" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 target)
    file(READ ${PROJECT_SOURCE_DIR}/${source} text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${QUORVEX_PACKAGE_FILES}/${target} "${text}")
    install(FILES ${QUORVEX_PACKAGE_FILES}/${target} DESTINATION .)
  endforeach()
  # The README shows these pictures.
  install(FILES ${PROJECT_SOURCE_DIR}/docs/chart-day.png ${PROJECT_SOURCE_DIR}/docs/chart-week.png
          ${PROJECT_SOURCE_DIR}/docs/chart-month.png
          DESTINATION docs)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/monitoring/quorvex-rules.yml DESTINATION docs/monitoring)
else()
  quorvex_install_unix_files()
endif()

set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VENDOR "quorvex developers")
set(CPACK_PACKAGE_CONTACT "${QUORVEX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "\
Reads the text logs of a video switching and routing automation and reports
on them: the timing of every fade and mix of one automation process and the
minimum, maximum and average of three router delays; timecode command errors;
takes per minute and second; and the lines that contain a text.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVEX_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  find_program(QUORVEX_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(QUORVEX_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
  endif()
endif()

include(CPack)
