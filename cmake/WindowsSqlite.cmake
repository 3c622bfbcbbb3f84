# SQLite for the Windows build, compiled into the programs: Windows ships no
# sqlite3.dll, and the programs carry no DLL of their own. The library is
# made from Debian's source package, the one libsqlite3-dev on Linux is built
# from: the original tarball, with those of Debian's patches that change the
# library's code (its fixes, its larger page-size limit). Debian's patches to
# the build system and lemon are left out; they serve Debian's packaging.
#
# The tarballs and the amalgamation made from them (SQLite's own
# `make sqlite3.c`, which needs a host C compiler, make, patch and tclsh) are
# kept in TIRVEL_DOWNLOAD_CACHE, outside the build tree, so a fresh build tree
# neither downloads nor generates again.

set(_tirvel_sqlite_version 3.40.1-2+deb12u2)
set(_tirvel_sqlite_upstream 3.40.1)
# name, SHA-256 (pinned; the .dsc's Checksums-Sha256), SHA-1 (snapshot.debian.org's address)
set(_tirvel_sqlite_orig sqlite3_${_tirvel_sqlite_upstream}.orig.tar.xz
    aaa776260ab4dc976db34aa7891819484c8676b5b2783123ebc6301e2ca5d655
    92fa12f357ce9bc383c9612518c46f9b546ed43a)
set(_tirvel_sqlite_debian sqlite3_${_tirvel_sqlite_version}.debian.tar.xz
    0843bc12e4364076477935ce313a6d0796fd899a989ff18ebb6545540e10e4ca
    4fc38879135dfcdd17f581e2bd654aa4a13e4385)
set(_tirvel_sqlite_patches
    20-hurd-locking-style.patch
    31-increase_SQLITE_MAX_DEFAULT_PAGE_SIZE_to_32k.patch
    41-fix_a_bug_in_the_NOT_NULL-IS_NULL_optimization.patch
    42-CVE-2025-6965.patch
    0001-Fix-a-buffer-overread-in-the-sessions-extension-that.patch
    0002-Avoid-a-stack-overflow-that-could-be-caused-by-a-rec.patch
    0003-Fix-a-technically-undefined-signed-integer-overflow-.patch)

if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(_tirvel_cache_default $ENV{XDG_CACHE_HOME}/tirvel)
else()
    set(_tirvel_cache_default $ENV{HOME}/.cache/tirvel)
endif()
set(TIRVEL_DOWNLOAD_CACHE ${_tirvel_cache_default} CACHE PATH
    "Where downloaded sources and what is generated from them are kept across build trees")

# Fetches one tarball into the cache unless a good copy is there. The pool
# keeps only current versions; snapshot.debian.org keeps every file by SHA-1.
function(_tirvel_sqlite_fetch name sha256 sha1)
    set(target ${TIRVEL_DOWNLOAD_CACHE}/${name})
    if(EXISTS ${target})
        file(SHA256 ${target} have)
        if(have STREQUAL sha256)
            return()
        endif()
    endif()
    foreach(url http://deb.debian.org/debian/pool/main/s/sqlite3/${name}
                https://snapshot.debian.org/file/${sha1})
        message(STATUS "Downloading ${url}")
        file(DOWNLOAD ${url} ${target}.part STATUS status INACTIVITY_TIMEOUT 60)
        list(GET status 0 code)
        if(code EQUAL 0)
            file(SHA256 ${target}.part have)
            if(have STREQUAL sha256)
                file(RENAME ${target}.part ${target})
                return()
            endif()
            message(WARNING "${url} is not the file pinned (SHA-256 ${have})")
        endif()
        file(REMOVE ${target}.part)
    endforeach()
    message(FATAL_ERROR "${name} could not be downloaded; put it in ${TIRVEL_DOWNLOAD_CACHE}")
endfunction()

function(_tirvel_sqlite_run what dir)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${dir} RESULT_VARIABLE result
                    OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "SQLite's ${what} failed (${result}):\n${out}")
    endif()
endfunction()

# Makes sqlite3.c and sqlite3.h in `dir` from the cached tarballs.
function(_tirvel_sqlite_amalgamate dir)
    foreach(tool tclsh make patch cc)
        find_program(_tirvel_${tool} ${tool})
        if(NOT _tirvel_${tool})
            message(FATAL_ERROR "Making SQLite's amalgamation needs ${tool} on the build machine")
        endif()
    endforeach()
    set(work ${dir}.work)
    file(REMOVE_RECURSE ${work})
    file(MAKE_DIRECTORY ${work})
    file(ARCHIVE_EXTRACT INPUT ${TIRVEL_DOWNLOAD_CACHE}/${name_orig} DESTINATION ${work})
    file(ARCHIVE_EXTRACT INPUT ${TIRVEL_DOWNLOAD_CACHE}/${name_debian} DESTINATION ${work})
    set(source ${work}/sqlite3-${_tirvel_sqlite_upstream})
    foreach(p IN LISTS _tirvel_sqlite_patches)
        _tirvel_sqlite_run("patch ${p}" ${source} ${_tirvel_patch} -p1 -s --forward -i
                           ${work}/debian/patches/${p})
    endforeach()
    file(MAKE_DIRECTORY ${work}/build)
    # The host's compiler builds SQLite's generators (lemon, mkkeywordhash);
    # the cross compiler's variables must not reach configure.
    _tirvel_sqlite_run(configure ${work}/build ${CMAKE_COMMAND} -E env --unset=CC --unset=CFLAGS
                       --unset=CPPFLAGS --unset=LDFLAGS ${source}/configure --disable-tcl)
    _tirvel_sqlite_run("make sqlite3.c" ${work}/build ${_tirvel_make} sqlite3.c)
    file(MAKE_DIRECTORY ${dir}.new)
    file(COPY ${work}/build/sqlite3.c ${work}/build/sqlite3.h ${source}/src/sqlite3ext.h
         DESTINATION ${dir}.new)
    file(RENAME ${dir}.new ${dir})
    file(REMOVE_RECURSE ${work})
endfunction()

# Defines SQLite::SQLite3, a static library of the amalgamation.
function(_tirvel_sqlite_library)
    set(dir ${TIRVEL_DOWNLOAD_CACHE}/sqlite3-${_tirvel_sqlite_version})
    if(NOT EXISTS ${dir}/sqlite3.c)
        file(MAKE_DIRECTORY ${TIRVEL_DOWNLOAD_CACHE})
        # Two build trees configuring at once share the cache.
        file(LOCK ${TIRVEL_DOWNLOAD_CACHE}/sqlite3.lock GUARD FUNCTION TIMEOUT 600)
        if(NOT EXISTS ${dir}/sqlite3.c)
            list(GET _tirvel_sqlite_orig 0 name_orig)
            list(GET _tirvel_sqlite_debian 0 name_debian)
            _tirvel_sqlite_fetch(${_tirvel_sqlite_orig})
            _tirvel_sqlite_fetch(${_tirvel_sqlite_debian})
            message(STATUS "Making SQLite's amalgamation in ${dir}")
            file(REMOVE_RECURSE ${dir} ${dir}.new)
            _tirvel_sqlite_amalgamate(${dir})
        endif()
    endif()

    add_library(tirvel_sqlite3 STATIC EXCLUDE_FROM_ALL ${dir}/sqlite3.c)
    # Serialized threading; WAL commits without a sync each, which survives a
    # program crash (not a power cut); no loadable extensions; strings only in
    # single quotes; foreign keys kept without asking for them per connection.
    target_compile_definitions(tirvel_sqlite3 PRIVATE SQLITE_THREADSAFE=1
        SQLITE_DEFAULT_WAL_SYNCHRONOUS=1 SQLITE_OMIT_LOAD_EXTENSION SQLITE_DQS=0
        SQLITE_DEFAULT_FOREIGN_KEYS=1)
    # Its warnings are SQLite's; debug information for 8 MB of C is slow and
    # never read.
    target_compile_options(tirvel_sqlite3 PRIVATE -w -g0)
    target_include_directories(tirvel_sqlite3 SYSTEM INTERFACE ${dir})
    add_library(SQLite::SQLite3 ALIAS tirvel_sqlite3)
endfunction()
