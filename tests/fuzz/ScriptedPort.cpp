#include "ScriptedPort.h"

#include <algorithm>
#include <cstring>

namespace fuzzsupport {

namespace {

ScriptedPort* g_current = nullptr;

constexpr std::chrono::milliseconds kTimedRead{100};
constexpr std::chrono::milliseconds kQuiet[4] = {
    std::chrono::milliseconds(100), std::chrono::milliseconds(1000),
    std::chrono::milliseconds(4000), std::chrono::milliseconds(12000)};

}  // namespace

ScriptedPort::ScriptedPort(const std::uint8_t* data, std::size_t size, bool polled)
    : polled_(polled), data_(data), size_(size), previous_(g_current) {
    g_current = this;
}

ScriptedPort::~ScriptedPort() {
    g_current = previous_;
}

ScriptedPort* ScriptedPort::Current() {
    return g_current;
}

std::chrono::steady_clock::time_point ScriptedPort::SteadyNow() {
    const auto now = g_current != nullptr ? g_current->now_ : std::chrono::milliseconds(0);
    return std::chrono::steady_clock::time_point(now);
}

void ScriptedPort::Called() {
    ++calls_;
    if (onCall) {
        onCall();
    }
}

std::int32_t ScriptedPort::Read(void* buffer, std::uint32_t maxBytes) {
    ++reads_;
    std::int32_t got = 0;
    if (maxBytes > 0 && now_ >= quietUntil_ && pos_ < size_) {
        const std::uint8_t control = data_[pos_++];
        const std::size_t n = control & 0x3F;
        if (n == 0) {
            quietUntil_ = now_ + kQuiet[control >> 6];
        } else {
            const std::size_t available = std::min(n, size_ - pos_);
            const std::size_t take = std::min<std::size_t>(available, maxBytes);
            std::memcpy(buffer, data_ + pos_, take);
            delivered_.append(reinterpret_cast<const char*>(data_ + pos_), take);
            pos_ += available;
            got = static_cast<std::int32_t>(take);
        }
    }
    if (got == 0) {
        ++emptyReads_;
    }
    // The timed profile's read waits for the whole count or its time-out.
    if (!polled_ && static_cast<std::uint32_t>(got) < maxBytes) {
        now_ += kTimedRead;
    }
    Called();
    return got;
}

std::int32_t ScriptedPort::Write(const void* buffer, std::uint32_t count) {
    written_.append(static_cast<const char*>(buffer), count);
    Called();
    return static_cast<std::int32_t>(count);
}

bool ScriptedPort::Wait(std::uint32_t timeoutMs) {
    const auto limit = now_ + std::chrono::milliseconds(timeoutMs);
    bool ready = false;
    if (pos_ < size_) {
        if (quietUntil_ <= limit) {
            now_ = std::max(now_, quietUntil_);
            ready = true;
        } else {
            now_ = limit;
        }
    } else {
        now_ = limit;
    }
    Called();
    return ready;
}

}  // namespace fuzzsupport

// The ComPort.h functions, all of them, so that the real implementation is
// never pulled from the serial library next to these.
using fuzzsupport::ScriptedPort;

PortHandle OpenComPort(const char*) {
    return ScriptedPort::kHandle;
}

int CloseComPort(PortHandle port) {
    return port == ScriptedPort::kHandle ? 1 : 0;
}

void SetupComPortTimed(PortHandle, const ComPortSettings*) {
    if (ScriptedPort* p = ScriptedPort::Current()) {
        p->SetPolled(false);
    }
}

void SetupComPortPolled(PortHandle, const ComPortSettings*) {
    if (ScriptedPort* p = ScriptedPort::Current()) {
        p->SetPolled(true);
    }
}

std::int32_t ReadComPort(PortHandle port, void* buffer, std::uint32_t maxBytes) {
    ScriptedPort* p = ScriptedPort::Current();
    return p != nullptr && port == ScriptedPort::kHandle ? p->Read(buffer, maxBytes) : 0;
}

std::int32_t WriteComPort(PortHandle port, const void* buffer, std::uint32_t count) {
    ScriptedPort* p = ScriptedPort::Current();
    return p != nullptr && port == ScriptedPort::kHandle ? p->Write(buffer, count) : 0;
}

bool WaitComPortInput(PortHandle port, std::uint32_t timeoutMs) {
    ScriptedPort* p = ScriptedPort::Current();
    return p != nullptr && port == ScriptedPort::kHandle && p->Wait(timeoutMs);
}

void PurgeComPortInput(PortHandle port) {
    if (ScriptedPort* p = ScriptedPort::Current(); p != nullptr && port == ScriptedPort::kHandle) {
        p->Purge();
    }
}
