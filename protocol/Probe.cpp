#include "protocol/Probe.h"

#include <thread>

#include "protocol/AtExchange.h"

std::atomic<int> g_nProbeStopFlag{0};

namespace {

using Clock = std::chrono::steady_clock;

// How often the stop flag is looked at while an attempt waits out its time.
constexpr std::chrono::milliseconds kStopCheck{20};

bool StopRaised() {
    return g_nProbeStopFlag.load() != 0;
}

// Waits until the moment, or the stop flag; true when the flag ended it.
bool WaitUntilOrStop(Clock::time_point until) {
    while (AtClock() < until) {
        if (StopRaised()) {
            return true;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(kStopCheck, until - AtClock()));
    }
    return StopRaised();
}

}  // namespace

int ProbeDevice(PortHandle port) {
    const Clock::time_point windowStart = AtClock();
    const Clock::time_point windowEnd = windowStart + kProbeWindow;
    int attempts = 0;
    int noisy = 0;
    while (attempts < kProbeAttempts && AtClock() < windowEnd) {
        // The attempts keep a fixed pace from the window's start: one that
        // overran its time (a busy machine, a late byte) is made up by the
        // next, instead of pushing the last attempts out of the window.
        const Clock::time_point attemptEnd = windowStart + kProbeAttemptTime * (attempts + 1);
        const ExchangeSeen seen = SendAtCommandSeen(port, "AT+TEST\r", kShortReplyLimit);
        ++attempts;
        if (seen.result == kAtSuccess) {
            return kProbeAnswered;
        }
        if (StopRaised()) {
            return kProbeStopped;
        }
        if (seen.result == kAtPasswordRequired) {
            return kProbePasswordRequired;
        }
        // Bytes that were neither our echo nor any answer: noise.
        if (seen.gathered > 0 && !seen.echoOnly && !seen.resultLine) {
            ++noisy;
        }
        if (WaitUntilOrStop(std::min(attemptEnd, windowEnd))) {
            return kProbeStopped;
        }
    }
    return noisy * 2 > attempts ? kProbeLineNoise : kProbeTimedOut;
}
