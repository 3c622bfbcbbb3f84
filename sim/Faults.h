// Misbehaviour injected on purpose so that the tool's error paths can be seen
// working. Device applies each kind at exactly one place (command handling or
// the output queue); noise, dropped bytes or unplugging mid-reply would hook in
// at Device::Receive and Device::Queue the same way.
#pragma once

#include <set>

#include "Events.h"

namespace kavrelsim {

struct Faults {
    Millis replyDelay{0};      // between a command's end and the first byte of its answer
    bool silent = false;       // hears everything, answers nothing
    std::set<int> errorOnSet;  // AT+SET=N answers ERROR for these items
};

}  // namespace kavrelsim
