// Firmware images for the tests and a receiver that takes one: the bytes a
// loader would store, and an XMODEM receiver on the master side of a pty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "PseudoTerminal.h"

namespace testsupport {

// Bytes that look like an image: the same for the same size and seed.
std::string Noise(std::size_t size, std::uint32_t seed = 2024);
// Noise written to a file, as the image an update sends; the bytes written.
std::string WriteNoise(const std::filesystem::path& file, std::size_t size,
                       std::uint32_t seed = 2024);
// What a loader stores: the image, one 0x1A, zeros to whole 128-byte blocks.
std::string Padded(const std::string& image);

struct Receiver {
    std::string data;
    bool ended = false;
};
// How a receiver may misbehave without being wrong: each at most once.
struct ReceiverQuirks {
    int cancelAt = 0;          // block answered with CAN CAN: it gives up
    int doubleAckAt = 0;       // block acknowledged twice
    bool nakFirstEot = false;  // the first EOT is answered with NAK, the second ends
};
// NAK until the first block, then every block checked and acknowledged; a
// repeat of the block it has is acknowledged again.
Receiver ReceiveChecksumXmodem(const PseudoTerminal& pty, const ReceiverQuirks& quirks);
// Cancels (CAN CAN) at block cancelAt.
Receiver ReceiveChecksumXmodem(const PseudoTerminal& pty, int cancelAt = 0);

}  // namespace testsupport
