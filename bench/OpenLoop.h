// Requests sent on a fixed schedule, whatever the server does: slot i is due
// at start + i / rate, and its latency counts from then, not from when a
// free thread got to send it. A server that stalls shows as the stall and
// the queue behind it, which a closed loop (send, wait, send) would hide by
// simply sending less.
#pragma once

#include <chrono>
#include <functional>
#include <vector>

namespace bench {

struct OpenLoopRun {
    std::vector<double> milliseconds;  // of every slot answered well, from its due time
    long failures = 0;                 // answered wrong, or thrown
    double seconds = 0;                // from the first due time to the last answer
};

// count slots at rate per second over threads senders; request(slot) is
// true for an answer that is right. threads bounds how many are in flight:
// enough that the schedule, not the senders, sets the pace.
OpenLoopRun RunOpenLoop(double rate, long count, int threads,
                        const std::function<bool(long slot)>& request);

}  // namespace bench
