# cmake -DMANIFEST=list -DOUTPUT=file.cpp -P EmbedFiles.cmake
#
# Writes the table of line::Asset the manifest names, each line of it
# "URL-path|file", the files' bytes as string literals of \x
# escapes (valid whatever the bytes), their ETags from their SHA-256.
file(STRINGS "${MANIFEST}" entries)
set(data "")
set(table "")
set(index 0)
foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 url)
    list(GET fields 1 source)
    get_filename_component(ending "${source}" LAST_EXT)
    if(ending STREQUAL ".html")
        set(type "text/html; charset=utf-8")
    elseif(ending STREQUAL ".js")
        set(type "text/javascript; charset=utf-8")
    elseif(ending STREQUAL ".css")
        set(type "text/css; charset=utf-8")
    elseif(ending STREQUAL ".svg")
        set(type "image/svg+xml")
    elseif(ending STREQUAL ".png")
        set(type "image/png")
    else()
        message(FATAL_ERROR "${source}: no content type for files ending in '${ending}'")
    endif()
    file(READ "${source}" hex HEX)
    file(SHA256 "${source}" digest)
    string(SUBSTRING "${digest}" 0 20 etag)
    file(SIZE "${source}" size)
    # 40 bytes (80 hex digits) a line.
    string(REPEAT "[0-9a-f]" 80 line)
    string(REGEX REPLACE "(${line})" "\\1\"\n    \"" hex "${hex}")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" hex "${hex}")
    string(APPEND data "const char kFile${index}[] =\n    \"${hex}\";\n")
    string(APPEND table "    {\"${url}\", \"${type}\", {kFile${index}, ${size}}, \"\\\"${etag}\\\"\"},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUTPUT}" "// Made by line/web/EmbedFiles.cmake; edit line/web/ instead.
#include <cstddef>

#include \"line/Assets.h\"

namespace line {
namespace {
${data}}  // namespace

extern const Asset kAssets[] = {
${table}};
extern const std::size_t kAssetCount = ${index};

}  // namespace line
")
