// A command's string in the table holds two texts: the status bar's prompt,
// then, after the first "\n", the toolbar button's tooltip.
#pragma once

#include <string>

#include "common/Win.h"

namespace app {

struct CommandStrings {
    std::string prompt;
    std::string toolTip;  // empty where the string has no "\n"
};

CommandStrings LoadCommandStrings(fw::UINT command);

}  // namespace app
