// A COM port whose peer is a script: the fuzz input, served as a sequence of
// reads. It replaces serial/ComPortPosix.cpp at link time, so the exchanges and
// the XMODEM sender run against it unchanged and at full speed.
//
// The script is a series of items, each starting with a control byte c:
//  - c & 0x3F = n > 0: up to n data bytes follow; one read hands out as many of
//    them as the caller asked for (the rest is lost, like bytes a read did not
//    take would be overtaken by the next item);
//  - n = 0: the peer stays quiet for 100 ms, 1 s, 4 s or 12 s (c >> 6).
// After the last item the peer is silent for ever.
//
// Time is virtual: a read in the timed profile that brings fewer bytes than it
// asked for takes 100 ms, as the real one does; WaitComPortInput advances the
// clock to the next input or by its whole time-out. A purge of the input
// throws nothing away here (the script cannot know what arrived when); it is
// only counted. Ports whose peer reacts to what is written derive from this.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "serial/ComPort.h"

namespace fuzzsupport {

class ScriptedPort {
public:
#ifdef _WIN32
    static inline const PortHandle kHandle = reinterpret_cast<PortHandle>(std::intptr_t{7});
#else
    static constexpr PortHandle kHandle = 7;
#endif

    ScriptedPort(const std::uint8_t* data, std::size_t size, bool polled = false);
    virtual ~ScriptedPort();
    ScriptedPort(const ScriptedPort&) = delete;
    ScriptedPort& operator=(const ScriptedPort&) = delete;

    // The ComPort.h functions, on this port. Read honours maxBytes exactly.
    virtual std::int32_t Read(void* buffer, std::uint32_t maxBytes);
    virtual std::int32_t Write(const void* buffer, std::uint32_t count);
    virtual bool Wait(std::uint32_t timeoutMs);
    virtual void Purge() {
        ++purges_;
        Called();
    }

    // The port the ComPort.h functions reach (the last one constructed).
    static ScriptedPort* Current();

    void SetPolled(bool polled) {
        polled_ = polled;
    }
    bool Exhausted() const {
        return pos_ >= size_;
    }
    std::chrono::milliseconds Now() const {
        return now_;
    }
    const std::string& Written() const {
        return written_;
    }
    const std::string& Delivered() const {
        return delivered_;
    }
    std::size_t Reads() const {
        return reads_;
    }
    std::size_t EmptyReads() const {
        return emptyReads_;
    }
    std::size_t Calls() const {
        return calls_;
    }
    std::size_t Purges() const {
        return purges_;
    }
    // Called on every read, wait and write (after it), e.g. to sample state.
    std::function<void()> onCall;

    // The virtual clock as a steady_clock time, for the transfer's clock seam.
    static std::chrono::steady_clock::time_point SteadyNow();

protected:
    void Called();

    // For ports whose bytes wait in a queue (front first) until they are due:
    // whether one falls due within the time-out, the clock moved on to it or
    // to the time-out's end.
    template <class Queue>
    bool WaitForDue(const Queue& queue, std::uint32_t timeoutMs) {
        const std::chrono::milliseconds limit = now_ + std::chrono::milliseconds(timeoutMs);
        const bool ready = !queue.empty() && queue.front().due <= limit;
        now_ = ready ? std::max(now_, queue.front().due) : limit;
        Called();
        return ready;
    }
    // A purge throws away what has arrived; what is still on its way is not.
    template <class Queue>
    void PurgeDue(Queue& queue) {
        while (!queue.empty() && queue.front().due <= now_) {
            queue.pop_front();
        }
        ScriptedPort::Purge();
    }

    std::chrono::milliseconds now_{0};
    bool polled_;
    std::string written_;
    std::string delivered_;
    std::size_t reads_ = 0;
    std::size_t emptyReads_ = 0;

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::chrono::milliseconds quietUntil_{0};
    std::size_t calls_ = 0;
    std::size_t purges_ = 0;
    ScriptedPort* previous_;
};

}  // namespace fuzzsupport
