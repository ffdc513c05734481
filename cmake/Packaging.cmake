# The Debian package: `cpack -G DEB` in a Release build (scripts/package).
# Depends is computed from the binaries by dpkg-shlibdeps; the desktop's own
# triggers refresh the menu, icon and MIME caches, so there are no
# maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME travin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Travin Workbench developers")
set(CPACK_PACKAGE_CONTACT ${TRAVIN_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workbench for Travin motion-control boards")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop program for Travin, a small language whose programs run on a\n"
    "motion-control board reached over a serial port: edit a program, download\n"
    "it, run and single-step it, set breakpoints, watch the board's variables\n"
    "and console output, and build calls to the board's built-in functions.\n"
    "The package also holds travin-board, a virtual board on a pseudo-terminal.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TRAVIN_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TRAVIN_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
