# The same sources are compiled over and over: five presets in ./test, and a
# fresh clone for every CI run on the same machine. ccache, where installed,
# answers what was compiled before. Paths are taken relative to the sources,
# so a clone in another folder finds the same entries. -DTIRVEL_USE_CCACHE=OFF
# compiles everything.
option(TIRVEL_USE_CCACHE "Compile through ccache where it is installed" ON)
if(TIRVEL_USE_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
    find_program(TIRVEL_CCACHE_PROGRAM ccache)
    if(TIRVEL_CCACHE_PROGRAM)
        set(tirvel_launcher ${CMAKE_COMMAND} -E env CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}
                            ${TIRVEL_CCACHE_PROGRAM})
        set(CMAKE_CXX_COMPILER_LAUNCHER ${tirvel_launcher})
        set(CMAKE_C_COMPILER_LAUNCHER ${tirvel_launcher})
    endif()
endif()
