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
  string(REPLACE ";" ", next: " fingerprints "${LARKSPIRE_UPDATE_KEY_FINGERPRINTS}")
  string(CONCAT trust "It installs only updates signed by the maker's key built into it (SHA-256 of the first: "
         "${fingerprints}), checking the package's SHA-256, length and CRC-32; "
         "larkspire-autoupdate --version names the keys.")
else()
  string(CONCAT trust "This build accepts unsigned updates from whoever answers at its update host "
         "(${LARKSPIRE_UPDATE_HOST}), and checks only the CRC-32 the update names.")
endif()
string(CONCAT description
       "Checks the Larkspire update server for a newer version, downloads the setup package with live status, "
       "verifies it and hands it to the installer. ${trust} Includes larkspire-publish, which puts an update on "
       "a server folder.")
# Debian's description lines are at most 80 characters.
larkspire_wrap_text("${description}" 72 CPACK_PACKAGE_DESCRIPTION)
# The package's changelog, of this version and the day it was built.
file(WRITE ${CMAKE_BINARY_DIR}/doc/changelog
     "larkspire-autoupdate (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${PROJECT_VERSION}; see the README for what the wizard does.\n\n"
     " -- The Larkspire AutoUpdate developers <${LARKSPIRE_SUPPORT_ADDRESS}>  ${LARKSPIRE_RELEASE_TIME}\n")
larkspire_install_gzipped(${CMAKE_BINARY_DIR}/doc/changelog ${CMAKE_INSTALL_DATADIR}/doc/larkspire-autoupdate)
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
# the broadcast; the system's trust store checks https:// servers. libcurl
# (every download; 7.85 is the first with every option the wizard sets, and
# libcurl4t64 its name where time is 64-bit) and libcrypto (signatures,
# digests, the trust store's path) are loaded by the wizard when first
# needed, so the library scan above does not see the wizard need them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, ca-certificates, libcurl4 (>= 7.85) | libcurl4t64, libssl3 | libssl3t64")
# The window on a Wayland desktop needs Qt's Wayland plugin (without it the
# wizard says so and uses X11 where there is one).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session | dbus-x11, qt6-wayland")
include(CPack)
