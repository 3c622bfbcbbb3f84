# The docs `cmake --install` lays out beside what each folder installs, and the
# Debian package cpack builds from that layout.

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/tirvelctl.md
              ${PROJECT_SOURCE_DIR}/docs/line.md
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tirvel)

# Every Debian package carries its copyright file and changelog beside its
# docs. The changelog is compressed the Debian way (-9n: no name or time in
# the header, so the same text always gives the same bytes); its first entry
# must name the project's version, which scripts/check-package.sh holds it to.
if(UNIX)
    set(TIRVEL_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/package-doc/changelog.gz)
    add_custom_command(
        OUTPUT ${TIRVEL_CHANGELOG_GZ}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package-doc
        COMMAND sh -c "gzip -9n -c \"${PROJECT_SOURCE_DIR}/cmake/debian/changelog\" > \"${TIRVEL_CHANGELOG_GZ}\""
        DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog
        COMMENT "gzip changelog"
        VERBATIM)
    add_custom_target(package_doc ALL DEPENDS ${TIRVEL_CHANGELOG_GZ})
    install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright ${TIRVEL_CHANGELOG_GZ}
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/tirvel)
endif()

# A Windows build ships as a folder to unpack: tirvelctl.exe needs no DLLs.
# With the desktop app, and where makensis is installed, also as an installer
# with a Start-menu entry for each desktop program and an uninstaller.
if(WIN32)
    set(CPACK_GENERATOR "ZIP")
    find_program(TIRVEL_MAKENSIS makensis)
    if(TIRVEL_MAKENSIS AND TARGET tirvel)
        set(CPACK_GENERATOR "ZIP;NSIS")
        set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tirvel")
        set(CPACK_NSIS_PACKAGE_NAME "Tirvel ${PROJECT_VERSION}")
        set(CPACK_NSIS_DISPLAY_NAME "Tirvel - Kavrel Batch Configuration Software")
        # Start menu: one program and its label per desktop program, from the
        # bin folder of the layout. scripts/check-installer.sh checks each one.
        set(CPACK_PACKAGE_EXECUTABLES tirvel "Kavrel Batch Configuration Software")
        if(TARGET tirvel-station)
            list(APPEND CPACK_PACKAGE_EXECUTABLES tirvel-station "Tirvel Station")
        endif()
        set(CPACK_NSIS_EXECUTABLES_DIRECTORY "bin")
        set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\tirvel.exe")
        set(CPACK_NSIS_MUI_ICON "${CMAKE_BINARY_DIR}/app/win32/generated/icon128.ico")
        set(CPACK_NSIS_MUI_UNIICON "${CMAKE_BINARY_DIR}/app/win32/generated/icon128.ico")
        set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
        set(CPACK_NSIS_MODIFY_PATH OFF)
        # The installer is a 64-bit program like the ones it installs. CPack's
        # default, a 32-bit one, needs Windows' 32-bit layer, which a Wine
        # without wine32 lacks: there it ends at once, with success and
        # nothing installed.
        set(CPACK_NSIS_DEFINES "Target amd64-unicode")
    endif()
else()
    set(CPACK_GENERATOR "DEB")
    set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
endif()
set(CPACK_PACKAGE_NAME "tirvel")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Tirvel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# A placeholder until the project has a real address; a documentation domain
# rather than localhost, which lintian rejects as a maintainer's mail host.
set(CPACK_PACKAGE_CONTACT "Tirvel developers <tirvel@example.org>")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tirvel reads and writes the parameters of Kavrel DTUs over a serial line,
one device or a whole batch, and updates their firmware. The package holds
the desktop application (tirvel), its console counterpart (tirvelctl), the
station (tirvel-station), tirvel-line, a dashboard and HTTP API over a
line's records server (its systemd unit installed off), and kavrel-sim, a
simulated DTU on a pseudo-terminal for trying them out.")
# The package depends on exactly the shared libraries the binaries link, as
# dpkg-shlibdeps finds them, so it installs on a clean system of the build's kind.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)

# Sanitized binaries need their runtimes and are not what ships, so the package
# is checked only from plain builds.
if(TIRVEL_BUILD_TESTS AND NOT TIRVEL_SANITIZE AND NOT TIRVEL_FUZZ AND NOT WIN32)
    add_test(NAME package.check
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-package.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(package.check PROPERTIES LABELS package TIMEOUT 300)
endif()
