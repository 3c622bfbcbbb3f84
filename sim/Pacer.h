// Paces output at the speed of a real UART: ten bit times per byte (start,
// eight data, stop) at the current baud rate.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace kavrelsim {

class Pacer {
public:
    using Nanos = std::chrono::nanoseconds;

    // How many bytes may be put on the line at `now`. A wake-up that comes late
    // may catch up with what the line would have carried meanwhile; an idle
    // line earns no credit. baud 0 means no pacing at all.
    std::size_t Allowance(Nanos now, std::uint32_t baud);
    void Sent(std::size_t count, std::uint32_t baud);
    // Nothing is waiting to be sent: the next byte starts a fresh burst.
    void Idle() { idle_ = true; }
    // When the next byte may start.
    Nanos NextSlot() const { return freeAt_; }

    static Nanos ByteTime(std::uint32_t baud);

private:
    Nanos freeAt_{0};
    bool idle_ = true;
};

}  // namespace kavrelsim
