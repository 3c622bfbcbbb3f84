// How far a firmware transfer has got, for the operator: on a terminal a bar
// rewritten in place (percentage, bytes, rate, time left); elsewhere a plain
// line at each quarter, so a log file records the transfer without hundreds of
// lines of it.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/Console.h"
#include "station/DeviceProgress.h"

namespace cli {

// The bar and its figures; rate and time left only once some time has passed.
std::string FormatTransferStatus(std::int64_t done, std::int64_t total, double seconds);

class TransferProgress {
public:
    using Clock = std::chrono::steady_clock;

    // observer is also told every figure, for a board that shows many
    // transfers at once.
    TransferProgress(Console& console, bool terminal, station::DeviceObserver& observer)
        : console_(console), terminal_(terminal), observer_(observer) {}

    void Begin(std::int64_t total);
    // perMille as the sender reports it; values past 1000 (a last, partly
    // filled block) count as the whole image.
    void Update(int perMille);
    // The last figures stay on their own line; nothing when nothing started.
    void Finish();
    // Bytes acknowledged so far (of the last transfer, once finished).
    std::int64_t DoneBytes() const { return Done(perMille_); }

private:
    std::int64_t Done(int perMille) const;

    Console& console_;
    bool terminal_;
    station::DeviceObserver& observer_;
    std::int64_t total_ = 0;
    int perMille_ = 0;
    int quartersShown_ = 0;
    bool begun_ = false;
    bool moving_ = false;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
};

}  // namespace cli
