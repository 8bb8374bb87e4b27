# What `cmake --install` puts under the prefix, and the Debian package made
# from it by `cpack -G DEB`. Nothing installed names the build folder: the
# sound and music servers are forked from the player itself, and examples
# are found by the path the user gives.
include(GNUInstallDirs)

install(TARGETS talvix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Desktop integration: a file manager or web browser hands .kiv files and
# application/x-talvix downloads to the player.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/talvix.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/talvix.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/talvix.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/talvix-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME talvix.png)
endforeach()

# Manual pages are installed compressed, as Debian's tools expect.
set(TALVIX_MAN_DIR ${CMAKE_BINARY_DIR}/man)
configure_file(${CMAKE_SOURCE_DIR}/doc/talvix.1 ${TALVIX_MAN_DIR}/talvix.1 @ONLY)
add_custom_command(OUTPUT ${TALVIX_MAN_DIR}/talvix.1.gz
                   COMMAND gzip -9nkf talvix.1
                   WORKING_DIRECTORY ${TALVIX_MAN_DIR}
                   DEPENDS ${TALVIX_MAN_DIR}/talvix.1)
add_custom_target(talvix_manual ALL DEPENDS ${TALVIX_MAN_DIR}/talvix.1.gz)
install(FILES ${TALVIX_MAN_DIR}/talvix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/talvix/examples
        FILES_MATCHING PATTERN "*.kiv")

# The package: its Depends come from dpkg-shlibdeps on the installed player.
# Debian's MIME, desktop and icon databases are refreshed by the file
# triggers of the packages that own them, which the files installed under
# share/mime/packages, share/applications and share/icons/hicolor set off;
# the package needs no maintainer scripts of its own.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvix)
set(CPACK_PACKAGE_VENDOR "Talvix")
set(CPACK_PACKAGE_CONTACT "Talvix developers <talvix@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Talvix loads an Orvex program (.kiv) from a file or a URL and\n\
plays it in a small browser window: windows of graphic objects whose\n\
attributes follow the program's variables, mouse and keyboard input,\n\
images, sound and music.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
