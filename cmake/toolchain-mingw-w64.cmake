# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix
# threads variant: std::thread and std::mutex need winpthreads there).
# Programs built with it run on Linux under Wine, which CTest uses as the
# emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TIRVEL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TIRVEL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIRVEL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TIRVEL_MINGW_TRIPLET}-windres)

# Only the cross sysroot is searched for libraries, headers and packages: a
# Linux library or glibc header must never leak into a Windows build. The
# header-only dependencies that have no cross package are provided by
# cmake/WindowsDependencies.cmake instead.
set(CMAKE_FIND_ROOT_PATH /usr/${TIRVEL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime libraries are linked in, so the programs run from any
# directory, under Wine as on Windows, without copying DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(TIRVEL_WINE NAMES wine wine64)
if(TIRVEL_WINE)
    # Through a wrapper that starts a program again when Wine failed to start
    # it at all (scripts/wine-test-run.sh).
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-test-run.sh
                                      ${TIRVEL_WINE})
endif()
