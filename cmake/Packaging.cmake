# The docs `cmake --install` lays out beside what each folder installs, and the
# Debian package cpack builds from that layout.

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/tirvelctl.md
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tirvel)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tirvel")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Tirvel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Tirvel developers <tirvel@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tirvel reads and writes the parameters of Kavrel DTUs over a serial line,
one device or a whole batch, and updates their firmware. The package holds
the desktop application (tirvel), its console counterpart (tirvelctl) and
kavrel-sim, a simulated DTU on a pseudo-terminal for trying both out.")
# The package depends on exactly the shared libraries the binaries link, as
# dpkg-shlibdeps finds them, so it installs on a clean system of the build's kind.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)

# Sanitized binaries need their runtimes and are not what ships, so the package
# is checked only from plain builds.
if(TIRVEL_BUILD_TESTS AND NOT TIRVEL_SANITIZE AND NOT TIRVEL_FUZZ)
    add_test(NAME package.check
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-package.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(package.check PROPERTIES LABELS package TIMEOUT 300)
endif()
