#pragma once

#include <span>

#include "common/Win.h"

namespace res {

struct StringResource {
    fw::UINT id;
    const char* english;  // UTF-8
    const char* chinese;  // UTF-8
};

// Sorted by ID.
std::span<const StringResource> StringTable();

}  // namespace res
