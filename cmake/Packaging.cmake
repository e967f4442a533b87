# The licence beside the installed programs, where Debian keeps a package's
# copyright, and `cpack -G DEB`: a package of the installed tree, stripped,
# with its library dependencies found by dpkg-shlibdeps.
include(GNUInstallDirs)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/larkspire-autoupdate
        RENAME copyright)

set(CPACK_PACKAGE_NAME larkspire-autoupdate)
set(CPACK_PACKAGE_VENDOR "The Larkspire AutoUpdate developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "update wizard of the Larkspire web browser")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Checks the Larkspire update server for a newer version, downloads the setup package with live status, "
       "verifies its CRC-32 and hands it to the installer. Includes larkspire-publish, which puts an update on a "
       "server folder.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Larkspire AutoUpdate developers <${LARKSPIRE_SUPPORT_ADDRESS}>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://larkspire.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The desktop opener stands in for the installer; the session bus carries
# the broadcast.
set(CPACK_DEBIAN_PACKAGE_DEPENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session | dbus-x11")
include(CPack)
