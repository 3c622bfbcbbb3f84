// The main toolbar resource (128) as data: the size of its images and its
// buttons in order, each with the string that labels it. The images come from
// bitmap 128, one per button, in button order (separators take none).
#pragma once

#include <span>

#include "common/Win.h"

namespace res {

inline constexpr fw::UINT ID_SEPARATOR = 0;

struct ToolbarItem {
    fw::UINT command;  // ID_SEPARATOR for a separator
    fw::UINT textId;   // the label under the button; 0 for a separator
};

struct ToolbarResource {
    fw::UINT id;
    int imageWidth;
    int imageHeight;
    std::span<const ToolbarItem> items;
};

// nullptr when there is no such toolbar.
const ToolbarResource* FindToolbar(fw::UINT id);

}  // namespace res
