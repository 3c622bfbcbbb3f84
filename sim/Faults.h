// Misbehaviour injected on purpose so that the tool's error paths can be seen
// working. Device applies each kind at exactly one place (command handling or
// the output queue), BootLoader the transfer faults at its block handling;
// noise, dropped bytes or unplugging mid-reply would hook in at
// Device::Receive and Device::Queue the same way.
#pragma once

#include <set>

#include "Events.h"

namespace kavrelsim {

struct Faults {
    Millis replyDelay{0};      // between a command's end and the first byte of its answer
    bool silent = false;       // hears everything, answers nothing
    std::set<int> errorOnSet;  // AT+SET=N answers ERROR for these items

    // Firmware transfer, by the position of the block in the transfer (1 is
    // the first block; 0: never). Each acts once per transfer.
    int nakBlock = 0;       // a good block N is answered with NAK
    int cancelAtBlock = 0;  // block N is answered with CAN CAN: the loader gives up
    int dropAck = 0;        // block N is stored but its ACK is lost
    int garbleBlock = 0;    // block N arrives corrupted (and is NAKed)
};

}  // namespace kavrelsim
