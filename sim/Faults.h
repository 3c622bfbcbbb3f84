// Misbehaviour injected on purpose so that the tool's error paths can be seen
// working. Device applies each kind at exactly one place (command handling or
// the output queue), BootLoader the transfer faults at its block handling.
// Random faults draw from a generator seeded per device, so that a run with
// the same --seed misbehaves in the same way again.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "Events.h"

namespace kavrelsim {

// Where the device is pulled off the line (the pty closed under the tool).
enum class UnplugAt {
    kNever,
    kConnecting,      // at the first AT+TEST it hears, before answering
    kConnected,       // shortly after its configuration has been listed
    kMidModify,       // the Nth AT+SET is stored, its answer never leaves
    kAwaitingLoader,  // at the first break-in byte, before the loader answers
    kLoaderDialogue,  // at the Enter that should open the loader's menu
    kMidTransfer,     // block N is stored, its ACK never leaves
    kDebugLog,        // T ms after the application started its debug output
};

enum class ListingOrder { kAscending, kDescending, kShuffled };

struct Faults {
    Millis replyDelay{0};      // between a command's end and the first byte of its answer
    bool silent = false;       // hears everything, answers nothing
    std::set<int> errorOnSet;  // AT+SET=N answers ERROR for these items
    int errorOnNthSet = 0;     // the Nth AT+SET of a power-on answers ERROR (0: none)
    // The Nth AT+DTU&IMEI? of a power-on tells the IMEI with its last digit
    // changed (0: none): a reply whole in form, a digit spoilt on the line,
    // that no check of the form can catch.
    int garbleImeiRead = 0;
    // Only the answer to commands starting with this text is late by delayOne.
    std::string delayCommand;
    Millis delayOne{0};

    // What the device sends: each byte is spoiled (flipped, or a stray byte
    // put before it) or dropped with this probability.
    double noiseRate = 0;
    double dropRate = 0;
    std::uint64_t seed = 1;

    // The order of the item lines of AT+GETDV=0; shuffled draws from the
    // device's seeded generator.
    ListingOrder listingOrder = ListingOrder::kAscending;
    // Items the AT+GETDV=0 answer leaves out, though the device has them.
    std::set<int> listingGaps;
    // Lines of the device's own, unasked: with this probability one comes just
    // before the echo of a command, and one just after its answer ("OK",
    // "ERROR" or a status line, drawn from the seeded generator).
    double strayLines = 0;
    // Each line of an answer (never the echo) is sent twice, or never, with
    // these probabilities.
    double repeatLines = 0;
    double dropLines = 0;
    // AT+GETDV=0 never ends: instead of its OK, another item line comes every
    // endlessListing ms until the next command or power-off (0: off).
    Millis endlessListing{0};
    // A broken line that hears everything and answers nothing, but carries
    // junk at the AT rate from power-on: one byte every lineTrickle ms, or as
    // fast as the line carries it with lineBabble.
    Millis lineTrickle{0};
    bool lineBabble = false;
    // Like lineBabble, but what the line carries is whole result lines,
    // "\r\nOK\r\n" over and over: every read finds something that looks
    // like an answer, and none of it is one.
    bool lineBabbleOk = false;

    UnplugAt unplugAt = UnplugAt::kNever;
    int unplugN = 1;  // the AT+SET, the block, or the milliseconds of the debug log

    // Firmware transfer, by the position of the block in the transfer (1 is
    // the first block; 0: never). Each acts once per transfer.
    int nakBlock = 0;       // a good block N is answered with NAK
    int cancelAtBlock = 0;  // block N is answered with CAN CAN: the loader gives up
    int dropAck = 0;        // block N is stored but its ACK is lost
    int garbleBlock = 0;    // block N arrives corrupted (and is NAKed)
    bool nakAll = false;    // every block is NAKed, none stored
    int babbleAfter = 0;    // after block N the receiver sends garbage for ever
    // Block N is stored and acknowledged twice, the second ACK doubleAckDelay
    // after the first, so that it can cross the sender's next block.
    int doubleAck = 0;
    Millis doubleAckDelay{0};
    // The first EOT of a transfer is answered with NAK; only a second EOT
    // gets the image stored.
    bool eotNak = false;

    // A junk line (trickle or babble) answers nothing, as a silent one.
    bool Mute() const { return silent || lineTrickle > Millis(0) || lineBabble || lineBabbleOk; }
};

// A small generator of our own: the standard distributions may differ between
// libraries, and a seed has to mean the same run everywhere.
class FaultRandom {
public:
    explicit FaultRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Uniform in [0, n).
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t state_;
};

// The names the command line and the events give them, in the enums' order.
inline constexpr const char* kUnplugAtNames[] = {
    "never",           "connecting",      "connected",    "mid-modify",
    "awaiting-loader", "loader-dialogue", "mid-transfer", "debug-log"};
inline constexpr const char* kListingOrderNames[] = {"ascending", "descending", "shuffled"};

inline const char* UnplugAtName(UnplugAt at) {
    return kUnplugAtNames[static_cast<int>(at)];
}
inline const char* ListingOrderName(ListingOrder order) {
    return kListingOrderNames[static_cast<int>(order)];
}

}  // namespace kavrelsim
