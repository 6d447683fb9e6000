# Where `cmake --install` puts the programs, their manual pages, the desktop
# entry and the icon, and the Debian package that `cpack -G DEB` makes of
# them. Paths follow the GNU conventions (/usr/bin, /usr/share/man/man1 ...).
include(GNUInstallDirs)

# halvorn_install_program(<target> <manpage>): installs the program and its
# manual page (a file of docs/man/, compressed as Debian wants it).
function(halvorn_install_program target manpage)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  get_filename_component(name ${manpage} NAME)
  set(page ${CMAKE_BINARY_DIR}/man/${name})
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/${manpage} ${page}
    COMMAND gzip -9nf ${page}
    DEPENDS ${CMAKE_SOURCE_DIR}/${manpage}
    COMMENT "Compressing the manual page ${name}"
    VERBATIM)
  add_custom_target(${target}_manpage ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# The window's desktop entry and icon, and the documents every Debian
# package carries (copyright, changelog).
function(halvorn_install_desktop_files)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/halvorn-panel.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/halvorn-panel.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endfunction()

set(HALVORN_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/halvorn-panel)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${HALVORN_DOC_DIR})

# halvorn_install_doc(<source> <name>): installs a file of the source tree
# into the package's documents as <name>.gz, compressed as Debian wants it.
function(halvorn_install_doc source name)
  set(doc ${CMAKE_BINARY_DIR}/doc/${name})
  add_custom_command(
    OUTPUT ${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/${source} ${doc}
    COMMAND gzip -9nf ${doc}
    DEPENDS ${CMAKE_SOURCE_DIR}/${source}
    VERBATIM)
  string(MAKE_C_IDENTIFIER ${name} target)
  add_custom_target(halvorn_doc_${target} ALL DEPENDS ${doc}.gz)
  install(FILES ${doc}.gz DESTINATION ${HALVORN_DOC_DIR})
endfunction()
halvorn_install_doc(packaging/changelog changelog.Debian)
# How to read a record with sqlite3, for the plant's engineers.
halvorn_install_doc(docs/record.md record.md)

# One Debian package with every program. The libraries it needs are worked
# out from the binaries by dpkg-shlibdeps; what no binary links but the
# window cannot do without (Qt's platform plugins) is named here.
set(CPACK_PACKAGE_NAME halvorn-panel)
set(CPACK_PACKAGE_VENDOR "Halvorn")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front panel of the Halvorn gas-injection vacuum installation")
set(CPACK_PACKAGE_DESCRIPTION
    "The operator's front panel of a gas-injection and glow-discharge vacuum\n"
    "installation: it shows the valves, pumps, mass-flow controllers, gauges and\n"
    "electrode, polls the process controller over a serial line and sends the\n"
    "operator's commands. Also contains halvorn-sim, a simulated controller for\n"
    "trying the panel without the plant.")
list(JOIN CPACK_PACKAGE_DESCRIPTION "" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Halvorn front panel team <panel@halvorn.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
