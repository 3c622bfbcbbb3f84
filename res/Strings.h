#pragma once

#include <span>

#include "framework/StringTable.h"

namespace res {

// Sorted by ID.
std::span<const fw::StringResource> StringTable();

}  // namespace res
