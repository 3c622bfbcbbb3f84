// The XMODEM sender. Reads are polled (the port is set up with the polled
// profile), but each pause between polls sleeps on the port, so an ACK is seen
// as soon as it arrives instead of up to 10 ms later.
#include "firmware/Xmodem.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kNoByte = -2;

constexpr int kStartAttempts = 16;
constexpr int kBlockAttempts = 5;
constexpr int kEndAttempts = 10;

constexpr std::uint16_t kStartTimeoutMs = 2000;
constexpr std::uint16_t kSecondCanTimeoutMs = 1000;
constexpr std::uint16_t kBlockTimeoutMs = 10000;
constexpr std::uint16_t kEndTimeoutMs = 4000;
constexpr std::uint16_t kQuietMs = 1500;
constexpr std::uint16_t kPollMs = 10;

// An answer is believed only when nothing contradicts it soon after: a
// receiver that acknowledged a block twice leaves a stale ACK that a sender
// would otherwise take for the answer to what it sent next. Before the EOT the
// line must have been quiet this long (so every answer to the last block is
// in), and after the EOT's ACK no NAK asking for the end again may follow
// within it.
constexpr milliseconds kSettle{500};
// A line that never falls quiet after the last block cannot confirm anything.
constexpr milliseconds kSettleLimit{5000};

// A receiver that keeps talking would hold the worker in the drain for ever.
// After this long the line is given up on; the longest single wait of a
// transfer (one block's ACK) is as long, and the last quiet-window read may add
// its 1.5 s on top.
constexpr milliseconds kDrainLimit{10000};

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000U) != 0 ? (crc << 1) ^ 0x1021U : crc << 1;
        }
        table[i] = static_cast<std::uint16_t>(crc);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

std::atomic<PortHandle> g_port{INVALID_HANDLE_VALUE};
std::atomic<std::int32_t> g_progress{0};
std::atomic<TransferClockNow> g_clock{nullptr};

Clock::time_point Now() {
    const TransferClockNow now = g_clock.load(std::memory_order_acquire);
    return now != nullptr ? now() : Clock::now();
}

bool Stopped(const std::atomic<int>* stopFlag) {
    return stopFlag != nullptr && stopFlag->load(std::memory_order_acquire) != 0;
}

void SendCancel() {
    for (int i = 0; i < 3; ++i) {
        TransferWriteByte(xmodem::CAN);
    }
}

// After a first CAN: true when a second one follows, which ends the transfer
// (the cancel is confirmed and the line drained). A lone CAN is noise.
bool ConfirmedCancel() {
    if (TransferReadByte(kSecondCanTimeoutMs) != xmodem::CAN) {
        return false;
    }
    TransferWriteByte(xmodem::ACK);
    TransferDrainInput();
    return true;
}

// Whatever is waiting answered something sent before; the next thing sent
// must be answered by what comes after it.
void DiscardStaleInput() {
    PurgeComPortInput(g_port.load(std::memory_order_acquire));
}

enum class Settled { kQuiet, kNak, kCancelled, kBabbling };

// Waits for the line to fall quiet: after the ACK of the last block, where a
// NAK in the meantime means that ACK was a stale one and the receiver wants
// the block again, and before every EOT but the first.
Settled AwaitQuiet() {
    const Clock::time_point limit = Now() + kSettleLimit;
    bool nak = false;
    for (;;) {
        const int c = TransferReadByte(static_cast<std::uint16_t>(kSettle.count()));
        if (c == kNoByte) {
            return nak ? Settled::kNak : Settled::kQuiet;
        }
        if (c == xmodem::NAK) {
            nak = true;
        } else if (c == xmodem::CAN && ConfirmedCancel()) {
            return Settled::kCancelled;
        }
        if (Now() >= limit) {
            return Settled::kBabbling;
        }
    }
}

// After the EOT's ACK: true unless the receiver asks for the end again.
bool EndConfirmed() {
    const Clock::time_point until = Now() + kSettle;
    for (;;) {
        const auto left = std::chrono::ceil<milliseconds>(until - Now()).count();
        if (left < kPollMs) {
            return true;
        }
        if (TransferReadByte(static_cast<std::uint16_t>(left)) == xmodem::NAK) {
            return false;
        }
    }
}

// Builds the block in `block`; returns its length (132 or 133).
std::uint32_t BuildBlock(std::array<std::uint8_t, 133>& block, std::uint8_t number,
                         const std::uint8_t* chunk, std::int64_t chunkSize, bool crc) {
    block[0] = xmodem::SOH;
    block[1] = number;
    block[2] = static_cast<std::uint8_t>(0xFF - number);
    std::uint8_t* field = block.data() + 3;
    std::memset(field, 0x00, xmodem::kBlockData);
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(chunkSize, xmodem::kBlockData));
    std::memcpy(field, chunk, n);
    if (n < static_cast<std::size_t>(xmodem::kBlockData)) {
        field[n] = xmodem::SUB;
    }
    if (crc) {
        const std::uint16_t value = Crc16Update(field, xmodem::kBlockData);
        block[131] = static_cast<std::uint8_t>(value >> 8);
        block[132] = static_cast<std::uint8_t>(value & 0xFF);
        return 133;
    }
    std::uint8_t sum = 0;
    for (int i = 0; i < xmodem::kBlockData; ++i) {
        sum = static_cast<std::uint8_t>(sum + field[i]);
    }
    block[131] = sum;
    return 132;
}

}  // namespace

std::uint16_t Crc16Update(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>(kCrcTable[((crc >> 8) ^ data[i]) & 0xFF] ^ (crc << 8));
    }
    return crc;
}

void SetTransferClock(TransferClockNow now) {
    g_clock.store(now, std::memory_order_release);
}

void SetTransferPort(PortHandle port) {
    g_port.store(port, std::memory_order_release);
}

std::int32_t GetTransferProgress() {
    return g_progress.load(std::memory_order_relaxed);
}

int TransferReadByte(std::uint16_t timeoutMs) {
    const PortHandle port = g_port.load(std::memory_order_acquire);
    // Whole 10 ms polls only, as many as fit in the time-out; the pauses
    // between them end early when a byte comes.
    const int polls = timeoutMs / kPollMs;
    if (polls == 0) {
        return kNoByte;
    }
    const Clock::time_point deadline = Now() + milliseconds(polls * kPollMs);
    for (;;) {
        std::uint8_t byte = 0;
        if (ReadComPort(port, &byte, 1) == 1) {
            return byte;
        }
        const auto left = std::chrono::ceil<milliseconds>(deadline - Now()).count();
        if (left <= 0) {
            return kNoByte;
        }
        WaitComPortInput(port, static_cast<std::uint32_t>(std::min<long long>(left, kPollMs)));
    }
}

void TransferWriteByte(std::uint8_t byte) {
    WriteComPort(g_port.load(std::memory_order_acquire), &byte, 1);
}

void TransferWriteBlock(const std::uint8_t* data, std::uint32_t length) {
    WriteComPort(g_port.load(std::memory_order_acquire), data, length);
}

void TransferDrainInput() {
    const Clock::time_point limit = Now() + kDrainLimit;
    while (TransferReadByte(kQuietMs) != kNoByte && Now() < limit) {
    }
}

int TransferSendFile(const std::uint8_t* image, std::int32_t size,
                     const std::atomic<int>* stopFlag) {
    g_progress.store(0, std::memory_order_relaxed);
    if (Stopped(stopFlag)) {
        return kTransferStopped;
    }

    bool crc = false;
    bool started = false;
    for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
        if (Stopped(stopFlag)) {
            return kTransferStopped;
        }
        const int c = TransferReadByte(kStartTimeoutMs);
        if (c == xmodem::CRC_START || c == xmodem::NAK) {
            crc = c == xmodem::CRC_START;
            started = true;
        } else if (c == xmodem::CAN && ConfirmedCancel()) {
            return kTransferCancelledByReceiver;
        }
    }
    if (!started) {
        SendCancel();
        TransferDrainInput();
        return kTransferNoStartSignal;
    }

    if (Stopped(stopFlag)) {
        return kTransferStopped;
    }
    // 64-bit: bytes sent run up to the size rounded up to whole blocks, which
    // passes INT32_MAX for the largest sizes, and the progress multiplies by 1000.
    const std::int64_t total = std::max<std::int32_t>(size, 0);
    std::int64_t sent = 0;
    std::uint8_t number = 1;
    std::array<std::uint8_t, 133> block{};
    while (total - sent > 0) {
        const std::uint32_t length = BuildBlock(block, number, image + sent, total - sent, crc);
        // The last block has no next one whose answer would show a stale ACK
        // for it up: its ACK has to stand until the line is quiet.
        const bool last = total - sent <= xmodem::kBlockData;
        bool accepted = false;
        for (int attempt = 0; attempt < kBlockAttempts && !accepted; ++attempt) {
            if (Stopped(stopFlag)) {
                return kTransferStopped;
            }
            DiscardStaleInput();
            TransferWriteBlock(block.data(), length);
            const int c = TransferReadByte(kBlockTimeoutMs);
            if (c == xmodem::ACK) {
                switch (last ? AwaitQuiet() : Settled::kQuiet) {
                    case Settled::kQuiet:
                        accepted = true;
                        break;
                    case Settled::kNak:
                        break;  // the attempt is used up; the block goes again
                    case Settled::kCancelled:
                        return kTransferCancelledByReceiver;
                    case Settled::kBabbling:
                        SendCancel();
                        return kTransferEndNotAcknowledged;
                }
            } else if (c == xmodem::CAN && ConfirmedCancel()) {
                return kTransferCancelledByReceiver;
            }
        }
        if (!accepted) {
            SendCancel();
            TransferDrainInput();
            return kTransferBlockNotAcknowledged;
        }
        ++number;
        sent += xmodem::kBlockData;
        g_progress.store(static_cast<std::int32_t>(sent * 1000 / total), std::memory_order_relaxed);
        if (Stopped(stopFlag)) {
            return kTransferStopped;
        }
    }

    for (int attempt = 0; attempt < kEndAttempts; ++attempt) {
        if (Stopped(stopFlag)) {
            return kTransferStopped;
        }
        // Every answer to the last block is in already (its ACK waited for a
        // quiet line); an image without blocks, and every EOT after the first,
        // wait here, so that only an answer to this EOT can end the transfer.
        if (attempt > 0 || total == 0) {
            switch (AwaitQuiet()) {
                case Settled::kCancelled:
                    return kTransferCancelledByReceiver;
                case Settled::kBabbling:
                    return kTransferEndNotAcknowledged;
                case Settled::kQuiet:
                case Settled::kNak:
                    break;
            }
        }
        DiscardStaleInput();
        TransferWriteByte(xmodem::EOT);
        if (TransferReadByte(kEndTimeoutMs) == xmodem::ACK && EndConfirmed()) {
            // A size within 127 bytes of INT32_MAX rounds up past what the
            // result can hold; it must not turn into a failure code.
            return static_cast<int>(std::min<std::int64_t>(sent, INT_MAX));
        }
    }
    return kTransferEndNotAcknowledged;
}
