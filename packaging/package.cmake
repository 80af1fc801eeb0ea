# The Debian package (scripts/package): cpack -G DEB on a build configured with
# -DQZ_PROGRAM_FOLDER=/opt/qz4veld. Runtime dependencies come from the shared
# libraries the programs link (dpkg-shlibdeps), so Qt's serial port and print
# support come along without a hand-kept list.
set(QZ_PACKAGE_REVISION 1 CACHE STRING "Debian revision appended to the version")
set(QZ_DEB_VERSION ${PROJECT_VERSION}-${QZ_PACKAGE_REVISION})

# What Debian asks of every package besides the programs.
set(qz_doc ${CMAKE_INSTALL_DATADIR}/doc/qz4veld)
configure_file(${CMAKE_SOURCE_DIR}/packaging/copyright.in ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.Debian.in ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright DESTINATION ${qz_doc})
qz_gzipped(${CMAKE_BINARY_DIR}/packaging/changelog.Debian ${qz_doc})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME qz4veld)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qz4veld)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QZ_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QZ_PACKAGE_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QZ_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration utility for the QZ4VELD key-output device")
set(CPACK_PACKAGE_DESCRIPTION "The QZ4VELD sits between a keyboard and an RS-232 line and sends a string of
bytes for each key it overrides. This package builds the table of overrides
(key on the left, output string on the right), sends it to the device over a
serial port, reads it back, verifies it byte for byte, asks the device for its
version, and keeps tables in .cfg files.
.
It holds the window program qz4veld-config, the command-line tool qz4veld-cli
for scripted and batch programming, and the device simulator qz4veld-sim.")
set(CPACK_STRIP_FILES ON)
# Installs go through DESTDIR, so the program folder under /opt lands in the
# package and not on the build machine; the prefix is the build's (/usr).
set(CPACK_SET_DESTDIR ON)
# Only the programs: no source package, no tests.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
