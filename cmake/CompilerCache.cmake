# The same sources are compiled over and over: five presets in ./test, and a
# fresh clone for every CI run on the same machine. ccache, where installed,
# answers what was compiled before. Paths are taken relative to the sources,
# so a clone in another folder finds the same entries. With debug information
# ccache would also hash the folder it compiles in, which differs in every
# clone, so no clone ever found another's objects: it is left out
# (CCACHE_NOHASHDIR). An object taken from the cache names the build folder it
# was first compiled in as its debug information's working folder; the sources
# it names are relative, and the same in every clone.
# -DTIRVEL_USE_CCACHE=OFF compiles everything.
option(TIRVEL_USE_CCACHE "Compile through ccache where it is installed" ON)
if(TIRVEL_USE_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    find_program(TIRVEL_CCACHE_PROGRAM ccache)
    if(TIRVEL_CCACHE_PROGRAM)
        set(tirvel_launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}
                            CCACHE_NOHASHDIR=1 ${TIRVEL_CCACHE_PROGRAM})
        set(CMAKE_CXX_COMPILER_LAUNCHER ${tirvel_launcher})
        set(CMAKE_C_COMPILER_LAUNCHER ${tirvel_launcher})
    endif()
endif()
