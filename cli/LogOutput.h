// The device's debug output on stdout, following the log pane: what the pane
// gained since the last look is written out, and a character the pane lost (a
// backspace from the device) is erased on the screen with "\b \b". To a file or
// a pipe the bytes go as the device sent them; on a terminal they are decoded
// from the device's code page, a character split between two looks held back
// until it is complete.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "framework/Language.h"

namespace cli {

class LogOutput {
public:
    LogOutput(std::ostream& out, bool terminal, fw::Language language)
        : out_(out), terminal_(terminal), language_(language) {}

    // The pane's bytes now.
    void Follow(std::string_view pane);

private:
    std::ostream& out_;
    bool terminal_;
    fw::Language language_;
    std::string shown_;     // the pane's bytes as far as they were followed
    std::size_t held_ = 0;  // bytes at the end of shown_ not written yet (terminal)
};

}  // namespace cli
