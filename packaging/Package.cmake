# The Debian package: cpack -G DEB (scripts/package does the whole round).
#
# The package holds the program, its desktop file, icons, AppStream metadata
# and manual page (the default install component) and the Debian documents
# (the "debian" component, left out of a plain cmake --install). The
# simulator stays out: --demo runs it inside the program, and vks-sim on its
# own is a tool for the tests and scripts/demo.

# Manual page and changelog, compressed as Debian wants them: gzip -9 and no
# name or time stamp, so that a rebuild gives the same bytes.
set(ORVENDAL_DOCS_DIR ${CMAKE_BINARY_DIR}/packaging)
set(ORVENDAL_MANPAGE ${ORVENDAL_DOCS_DIR}/orvendal.1.gz)
set(ORVENDAL_CHANGELOG ${ORVENDAL_DOCS_DIR}/changelog.Debian.gz)
configure_file(packaging/orvendal.1.in ${ORVENDAL_DOCS_DIR}/orvendal.1 @ONLY)
add_custom_command(OUTPUT ${ORVENDAL_MANPAGE}
    COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${ORVENDAL_DOCS_DIR}/orvendal.1 ${ORVENDAL_MANPAGE}
    DEPENDS ${ORVENDAL_DOCS_DIR}/orvendal.1 VERBATIM)
add_custom_command(OUTPUT ${ORVENDAL_CHANGELOG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVENDAL_DOCS_DIR}
    COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${CMAKE_SOURCE_DIR}/packaging/changelog ${ORVENDAL_CHANGELOG}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(orvendal_docs ALL DEPENDS ${ORVENDAL_MANPAGE} ${ORVENDAL_CHANGELOG})

install(FILES ${ORVENDAL_MANPAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/copyright ${ORVENDAL_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orvendal COMPONENT debian EXCLUDE_FROM_ALL)

# The Debian revision of this version; its changelog entry must say the same.
set(ORVENDAL_DEBIAN_REVISION 1)
file(STRINGS packaging/changelog changelogTop LIMIT_COUNT 1)
if(NOT changelogTop MATCHES "^orvendal \\(${PROJECT_VERSION}-${ORVENDAL_DEBIAN_REVISION}\\) ")
    message(WARNING "packaging/changelog does not begin with an entry for ${PROJECT_VERSION}-"
                    "${ORVENDAL_DEBIAN_REVISION}; add one before building the package")
endif()

set(ORVENDAL_PACKAGE_MAINTAINER "Orvendal developers <orvendal@example.org>"
    CACHE STRING "Name and address in the Debian package's Maintainer field")

set(CPACK_PACKAGE_NAME orvendal)
set(CPACK_PACKAGE_VENDOR "Orvendal developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY orvendal)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Only the program's own parts of this build.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${CMAKE_BINARY_DIR};Orvendal;Unspecified;/"
    "${CMAKE_BINARY_DIR};Orvendal;debian;/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${ORVENDAL_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ORVENDAL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# CPack indents the lines below the summary and marks the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "control program for the VKS-4410 trunking radio scanner
Orvendal drives a VKS-4410 trunking radio scanner over a serial port or a
serial port shared on the network (ser2net). It shows a live front panel of
the scanner whose keys can be pressed with the mouse or the keyboard.

It backs up the scanner's 1000 channels into a local SQLite database and
restores them, edits the channel banks and the talkgroup log in grids and
exchanges them as CSV files, logs every talkgroup heard, and can record
calls. A built-in simulated scanner (--demo) shows every window without
a scanner.")
# Libraries are found by dpkg-shlibdeps; what is loaded at run time by name
# is listed here: the SQLite driver of Qt SQL and the display's fonts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-dseg, fonts-liberation | fonts-liberation2")

include(CPack)
