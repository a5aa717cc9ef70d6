# Installation and the Debian package. `cmake --install` puts the program and its manual
# page under the prefix; `cpack -G DEB` packs the same files, with the README as the
# package's documentation, into comterm_VERSION_ARCH.deb.
include(GNUInstallDirs)

# Installing builds nothing: `make install` and `make deb` build the program first, so the
# tests are not built for it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS comterm RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/man/comterm.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Only the package carries the documentation folder.
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT package_docs EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME comterm)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "comterm developers <comterm@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console serial terminal")
set(CPACK_PACKAGE_DESCRIPTION "comterm relays between the console and a serial port: \
every received byte is shown as itself or as a hex token, every key typed is echoed and \
sent. It takes the line speed, data bits, parity, stop bits and flow control from its \
command line, and has modes for myAVR boards and STC microcontrollers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# One package holding the program's files and the documentation.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified package_docs)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
