// What the application prints on its debug console (115200 baud) once it has
// booted: a list of pieces of output, each sent a given time after the one
// before it, with an optional tail that repeats for as long as the power is on.
//
// Text form, one piece per line:
//   +MS text     send `text` MS milliseconds after the previous piece (the
//                first piece: after the application started); without the
//                prefix, 0 ms
//   @loop        the pieces after this line repeat forever
//   # ...        a comment (write \x23 for a line that starts with '#')
// Each piece ends with "\r\n" unless its text ends in \c. Escapes: \b (BS),
// \r, \n, \t, \\, \xHH, \c (no line end; only at the end). {imei}, {version}
// and {uptime} (seconds since power-on, "12.345") are filled in when sent.
// Blank lines are pieces too: an empty line sends "\r\n".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "Events.h"

namespace kavrelsim {

struct DebugPiece {
    Millis delay{0};
    std::string bytes;  // escapes resolved, placeholders still in
};

struct DebugScript {
    std::vector<DebugPiece> pieces;
    std::size_t loopFrom = kNoLoop;  // index of the first repeating piece

    static constexpr std::size_t kNoLoop = static_cast<std::size_t>(-1);
    bool Empty() const { return pieces.empty(); }
};

// Throws std::invalid_argument naming the line for a bad escape or prefix, or
// a repeating tail that would take no time (it would print without end).
DebugScript ParseDebugScript(std::string_view text);

// The boot messages, network registration and heartbeats of a typical DTU.
const std::string& DefaultDebugText();

// Fills in the placeholders of a piece at the moment it is sent.
std::string ExpandDebugPiece(std::string_view bytes, std::string_view imei,
                             std::string_view version, Millis uptime);

}  // namespace kavrelsim
