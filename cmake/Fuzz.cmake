# The fuzz build (preset "fuzz"): brought in right after project() through
# CMAKE_PROJECT_INCLUDE. Every library is instrumented for libFuzzer's coverage
# and checked by AddressSanitizer and UndefinedBehaviorSanitizer; the fuzz
# programs in tests/fuzz/ add libFuzzer's own main (-fsanitize=fuzzer).
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "The fuzz build needs clang (libFuzzer); CMAKE_CXX_COMPILER is "
                        "${CMAKE_CXX_COMPILER_ID}")
endif()
set(TIRVEL_FUZZ ON CACHE BOOL "Build the libFuzzer programs of tests/fuzz" FORCE)
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined)
add_link_options(-fsanitize=address,undefined)
