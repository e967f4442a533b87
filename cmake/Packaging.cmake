# The licence beside the installed programs, where Debian keeps a package's
# copyright, and `cpack -G DEB`: a package of the installed tree, stripped,
# with its library dependencies found by dpkg-shlibdeps.
include(GNUInstallDirs)
install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/larkspire-autoupdate
        RENAME copyright)

set(CPACK_PACKAGE_NAME larkspire-autoupdate)
set(CPACK_PACKAGE_VENDOR "The Larkspire AutoUpdate developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "update wizard of the Larkspire web browser")
# What the package's wizard trusts, in the words of its --version.
if(LARKSPIRE_UPDATE_KEY_FINGERPRINTS)
  set(trust "It installs only updates signed by the maker's key built into it (SHA-256 of the first: "
            "${LARKSPIRE_UPDATE_KEY_FINGERPRINTS}), checking the package's SHA-256, length and CRC-32; "
            "larkspire-autoupdate --version names the keys.")
  string(REPLACE ";" ", next: " trust "${trust}")
else()
  set(trust "This build accepts unsigned updates from whoever answers at its update host "
            "(${LARKSPIRE_UPDATE_HOST}); it checks only the CRC-32 the update names.")
endif()
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Checks the Larkspire update server for a newer version, downloads the setup package with live status, "
       "verifies it and hands it to the installer. ${trust} Includes larkspire-publish, which puts an update on "
       "a server folder.")
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
# The window on a Wayland desktop needs Qt's Wayland plugin (without it the
# wizard says so and uses X11 where there is one).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session | dbus-x11, qt6-wayland")
include(CPack)
