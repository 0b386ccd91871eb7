# The Debian package: `cpack -G DEB` in a build tree (scripts/package does the
# whole build) gives kestrel_<version>_<arch>.deb with everything that
# `cmake --install` installs, under /usr, its library dependencies worked out
# by dpkg-shlibdeps from the programs themselves.

set(CPACK_PACKAGE_NAME kestrel)
set(CPACK_PACKAGE_VENDOR "The Kestrel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrel is a small tool for people who build custom worlds for Ultima Online.
It works on the game's client data files: Copy Map copies a rectangle of land
cells from one map0.mul into another, moved and shifted in altitude; Copy
Statics exports the static items of that rectangle as a world-item script
(items.wsc). Both are in the dialog Kestrel and on the command line as
kestrel-cli, which can also generate a sample world to try them on.")
set(CPACK_PACKAGE_HOMEPAGE_URL ${PROJECT_HOMEPAGE_URL})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Kestrel developers")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_GENERATOR DEB)
include(CPack)
