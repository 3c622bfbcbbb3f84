# Dependencies of a MinGW-w64 cross build, which Debian ships for Linux only.
# Loaded through CMAKE_PROJECT_TOP_LEVEL_INCLUDES by the "windows" preset; it
# answers find_package() for those packages and leaves every other package to
# CMake's own search.
#
#  - nlohmann_json and CLI11 are header-only: their host headers serve a
#    Windows build as well. Only their own directories are exposed (through
#    links in the build tree), never /usr/include itself, where glibc's
#    headers would shadow MinGW's.
#  - GoogleTest is compiled from Debian's sources with the cross compiler.
#  - SQLite is compiled into the programs from Debian's source package
#    (cmake/WindowsSqlite.cmake).

set(TIRVEL_HOST_INCLUDE_DIR /usr/include CACHE PATH
    "Where the host's header-only nlohmann_json and CLI11 are")
set(TIRVEL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, compiled with the cross compiler")

# One directory per package holding a link to the host's header directory;
# <package>_FOUND tells find_package's caller whether the target exists.
function(_tirvel_header_only_package package target header_dir)
    set(${package}_FOUND TRUE PARENT_SCOPE)
    if(TARGET ${target})
        return()
    endif()
    if(NOT EXISTS ${TIRVEL_HOST_INCLUDE_DIR}/${header_dir})
        set(${package}_FOUND FALSE PARENT_SCOPE)
        return()
    endif()
    string(REPLACE "::" "_" stage_name ${target})
    set(stage ${CMAKE_BINARY_DIR}/_host_headers/${stage_name})
    file(MAKE_DIRECTORY ${stage})
    file(CREATE_LINK ${TIRVEL_HOST_INCLUDE_DIR}/${header_dir} ${stage}/${header_dir} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    # SYSTEM: their warnings are not this project's to fix under -Werror.
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${stage}
                                               INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${stage})
endfunction()

macro(_tirvel_windows_find_package method package)
    if("${package}" STREQUAL "nlohmann_json")
        _tirvel_header_only_package(nlohmann_json nlohmann_json::nlohmann_json nlohmann)
    elseif("${package}" STREQUAL "CLI11")
        _tirvel_header_only_package(CLI11 CLI11::CLI11 CLI)
    elseif("${package}" STREQUAL "GTest")
        if(NOT TARGET GTest::gtest AND EXISTS ${TIRVEL_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
            set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
            set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
            # The test programs link the runtime statically; so must GoogleTest.
            set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
            add_subdirectory(${TIRVEL_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_googletest
                             EXCLUDE_FROM_ALL SYSTEM)
            # GoogleTest's own CMakeLists defines the GTest:: aliases.
        endif()
        set(GTest_FOUND TRUE)
        if(NOT TARGET GTest::gtest)
            set(GTest_FOUND FALSE)
        endif()
        # The test programs cannot run at build time on the build machine;
        # CTest lists their cases when it runs them, under the emulator.
        set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
    elseif("${package}" STREQUAL "SQLite3")
        if(NOT TARGET SQLite::SQLite3)
            _tirvel_sqlite_library()
        endif()
        set(SQLite3_FOUND TRUE)
    else()
        find_package(${package} ${ARGN} BYPASS_PROVIDER)
    endif()
endmacro()

if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_NAME STREQUAL "Windows")
    include(${CMAKE_CURRENT_LIST_DIR}/WindowsSqlite.cmake)
    cmake_language(SET_DEPENDENCY_PROVIDER _tirvel_windows_find_package
                   SUPPORTED_METHODS FIND_PACKAGE)
    # SQLite is C; languages are enabled at the top, where this file is read
    # (after the provider: that must be set before anything else of project()).
    enable_language(C)
endif()
