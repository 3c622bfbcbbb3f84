# Writes OUT: the string IDs of the headers given in HEADERS (";"-separated)
# with their names, sorted by ID, for res::StringName.
set(entries "")
foreach(header IN LISTS HEADERS)
    file(STRINGS ${header} lines REGEX "inline constexpr fw::UINT IDS_[A-Z0-9_]+ = [0-9]+;")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE ".*(IDS_[A-Z0-9_]+) = ([0-9]+);.*" "\\2;\\1" pair "${line}")
        list(GET pair 0 id)
        list(GET pair 1 name)
        # Zero-padded so that the text sort is the numeric one.
        string(LENGTH "${id}" length)
        math(EXPR pad "10 - ${length}")
        string(REPEAT "0" ${pad} zeros)
        list(APPEND entries "${zeros}${id}|${id}|${name}")
    endforeach()
endforeach()
list(SORT entries)
set(body "")
foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 1 id)
    list(GET parts 2 name)
    string(APPEND body "    {${id}, \"${name}\"},\n")
endforeach()
file(WRITE ${OUT}.new "// Generated from the string IDs of res/ by StringNames.cmake.
#include \"res/StringNames.h\"

#include <algorithm>
#include <iterator>

namespace res {
namespace {

struct Named {
    fw::UINT id;
    const char* name;
};

constexpr Named kNames[] = {
${body}};

}  // namespace

const char* StringName(fw::UINT id) {
    const auto* found = std::lower_bound(std::begin(kNames), std::end(kNames), id,
                                         [](const Named& n, fw::UINT wanted) { return n.id < wanted; });
    return found != std::end(kNames) && found->id == id ? found->name : nullptr;
}

}  // namespace res
")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
