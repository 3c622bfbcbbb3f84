# A static library of the tree: its sources, the ones each system spells its
# own way, and its links. Every such library is included from the root and
# builds with the project's warnings; one place says so for all of them.
#
#   tirvel_add_library(name [SOURCES ...] [POSIX ...] [WIN32 ...]
#                      [PUBLIC ...] [PRIVATE ...])
function(tirvel_add_library name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;POSIX;WIN32;PUBLIC;PRIVATE")
    add_library(${name} STATIC ${ARG_SOURCES})
    if(WIN32)
        target_sources(${name} PRIVATE ${ARG_WIN32})
    else()
        target_sources(${name} PRIVATE ${ARG_POSIX})
    endif()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE} tirvel_warnings)
endfunction()
