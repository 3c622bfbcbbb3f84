// The XMODEM sender. Reads are polled (the port is set up with the polled
// profile), but each pause between polls sleeps on the port, so an ACK is seen
// as soon as it arrives instead of up to 10 ms later.
#include "firmware/Xmodem.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstring>
#include <optional>

#include "serial/DeviceLines.h"

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

// An answer is believed only when nothing contradicts it: a receiver that
// acknowledged a frame twice leaves a stale ACK that a sender would otherwise
// take for the answer to what it sent next. What the sender counts on from a
// receiver, and no more: it answers a frame within kAnswerWithin of having
// it, and any second byte of an answer (a repeat, a NAK behind an ACK) comes
// within kStrayWithin of the answer. So a frame's exchange is over kSettle
// after the frame arrived, and a line quiet that long holds nothing stale.
constexpr milliseconds kAnswerWithin{300};
constexpr milliseconds kStrayWithin{200};
constexpr milliseconds kSettle = kAnswerWithin + kStrayWithin;
// A line that never falls quiet after the last block cannot confirm anything.
constexpr milliseconds kSettleLimit{5000};

// The loader line's character time (8N1: ten bits): a frame reaches the
// receiver only when its last byte has crossed the line.
constexpr std::chrono::microseconds kCharTime{10'000'000 / kLoaderLine.baudRate};
// Bytes sent in one burst follow each other within this; a NAK behind an ACK
// in the same answer comes no later.
constexpr std::chrono::microseconds kBurst = 16 * kCharTime;

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

// The next byte, or kNoByte once `deadline` has passed; the pauses between
// polls sleep on the port and end early when a byte comes. The watches below
// keep their deadlines to the millisecond: they are sized by the receiver's
// promises, not by whole polls.
int ReadByteBy(Clock::time_point deadline) {
    const PortHandle port = g_port.load(std::memory_order_acquire);
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

// When the receiver has had the whole of a frame written at `written`.
Clock::time_point Arrival(Clock::time_point written, std::uint32_t length) {
    return written + std::chrono::duration_cast<Clock::duration>(kCharTime * length);
}

enum class Settled { kQuiet, kNak, kCancelled, kBabbling };

// Waits for the line to have nothing more to say: silent up to `firstQuiet`,
// or, once it has said anything at all, quiet for a whole kSettle. After the
// ACK of the last block a NAK in the meantime means that ACK was a stale one
// and the receiver wants the block again.
Settled AwaitQuiet(Clock::time_point firstQuiet) {
    const Clock::time_point limit = Now() + kSettleLimit;
    Clock::time_point quietUntil = firstQuiet;
    bool nak = false;
    for (;;) {
        const int c = ReadByteBy(quietUntil);
        if (c == kNoByte) {
            return nak ? Settled::kNak : Settled::kQuiet;
        }
        if (c == xmodem::NAK) {
            nak = true;
        } else if (c == xmodem::CAN) {
            if (ConfirmedCancel()) {
                return Settled::kCancelled;
            }
            nak = true;  // the byte the lone CAN took may have been a NAK
        }
        if (Now() >= limit) {
            return Settled::kBabbling;
        }
        quietUntil = Now() + kSettle;
    }
}

Settled AwaitQuiet() {
    return AwaitQuiet(Now() + kSettle);
}

// After the EOT's ACK: true unless a NAK asking for the end again comes
// before `until`.
bool EndConfirmed(Clock::time_point until) {
    for (;;) {
        const int c = ReadByteBy(until);
        if (c == kNoByte) {
            return true;
        }
        if (c == xmodem::NAK) {
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

enum class BlockOutcome { kAccepted, kStopped, kCancelled, kNotAcknowledged, kBabbling };

// Up to five sends of one block until its ACK. `settle`: the ACK has to stand
// until the block's true answer is due, and if the line says anything
// meanwhile, until it is quiet. `arrived` is when the receiver had the block's
// last send.
BlockOutcome SendBlock(const std::uint8_t* block, std::uint32_t length, bool settle,
                       const std::atomic<int>* stopFlag, Clock::time_point& arrived) {
    for (int attempt = 0; attempt < kBlockAttempts; ++attempt) {
        if (Stopped(stopFlag)) {
            return BlockOutcome::kStopped;
        }
        DiscardStaleInput();
        TransferWriteBlock(block, length);
        arrived = Arrival(Now(), length);
        const int c = TransferReadByte(kBlockTimeoutMs);
        if (c == xmodem::ACK) {
            switch (settle ? AwaitQuiet(arrived + kAnswerWithin) : Settled::kQuiet) {
                case Settled::kQuiet:
                    return BlockOutcome::kAccepted;
                case Settled::kNak:
                    break;  // the attempt is used up; the block goes again
                case Settled::kCancelled:
                    return BlockOutcome::kCancelled;
                case Settled::kBabbling:
                    return BlockOutcome::kBabbling;
            }
        } else if (c == xmodem::CAN && ConfirmedCancel()) {
            return BlockOutcome::kCancelled;
        }
    }
    return BlockOutcome::kNotAcknowledged;
}

// What a block that was not accepted ends the transfer with.
int BlockFailure(BlockOutcome outcome) {
    switch (outcome) {
        case BlockOutcome::kStopped:
            return kTransferStopped;
        case BlockOutcome::kCancelled:
            return kTransferCancelledByReceiver;
        case BlockOutcome::kBabbling:
            // A line that never falls quiet after the last block confirms
            // nothing.
            SendCancel();
            return kTransferEndNotAcknowledged;
        case BlockOutcome::kAccepted:
        case BlockOutcome::kNotAcknowledged:
            break;
    }
    SendCancel();
    TransferDrainInput();
    return kTransferBlockNotAcknowledged;
}

enum class FirstEnd { kConfirmed, kUnanswered, kInDoubt, kCancelled };

// The first EOT goes out at once behind the last block's ACK, and one watch
// judges both: the block's true answer is due kAnswerWithin after the block
// arrived, the EOT's kAnswerWithin after it did. Only ACKs until both are due
// (and behind the first ACK, to the end of its burst) confirm the block and
// the end together. A request to send (a NAK, or a 'C' of a receiver that
// started over) leaves it open which of the two it answers: the end is in
// doubt. Nothing is thrown away before the EOT: what came since the block's
// ACK is part of the verdict.
FirstEnd SendFirstEot(Clock::time_point blockArrived) {
    TransferWriteByte(xmodem::EOT);
    const Clock::time_point eotArrived = Arrival(Now(), 1);
    const Clock::time_point answersDue = std::max(blockArrived, eotArrived) + kAnswerWithin;
    Clock::time_point until = eotArrived + milliseconds(kEndTimeoutMs);
    bool acknowledged = false;
    for (;;) {
        const int c = ReadByteBy(until);
        if (c == kNoByte) {
            return acknowledged ? FirstEnd::kConfirmed : FirstEnd::kUnanswered;
        }
        if (c == xmodem::ACK) {
            if (!acknowledged) {
                acknowledged = true;
                until = std::max(answersDue,
                                 Now() + std::chrono::duration_cast<Clock::duration>(kBurst));
            }
        } else if (c == xmodem::CAN) {
            // A lone CAN has taken the byte behind it, which may have been
            // a NAK.
            return ConfirmedCancel() ? FirstEnd::kCancelled : FirstEnd::kInDoubt;
        } else if (c == xmodem::NAK || c == xmodem::CRC_START) {
            return FirstEnd::kInDoubt;
        }
        // Anything else answers nothing: line noise.
    }
}

// Every EOT after the first waits for a quiet line, so that only an answer to
// it can end the transfer, and its ACK stands when no NAK asking for the end
// again follows while the EOT's exchange may still be going on.
enum class LaterEnd { kConfirmed, kNotConfirmed, kCancelled, kBabbling };

LaterEnd SendLaterEot() {
    switch (AwaitQuiet()) {
        case Settled::kCancelled:
            return LaterEnd::kCancelled;
        case Settled::kBabbling:
            return LaterEnd::kBabbling;
        case Settled::kQuiet:
        case Settled::kNak:
            break;
    }
    DiscardStaleInput();
    TransferWriteByte(xmodem::EOT);
    if (TransferReadByte(kEndTimeoutMs) == xmodem::ACK && EndConfirmed(Now() + kSettle)) {
        return LaterEnd::kConfirmed;
    }
    return LaterEnd::kNotConfirmed;
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
    // Whole 10 ms polls only, as many as fit in the time-out; the pauses
    // between them end early when a byte comes.
    const int polls = timeoutMs / kPollMs;
    if (polls == 0) {
        return kNoByte;
    }
    return ReadByteBy(Now() + milliseconds(polls * kPollMs));
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

namespace {

// The receiver asks for the first block: 'C' for CRC, NAK for the checksum.
// Empty when it did; else the result the transfer ends with.
std::optional<int> AwaitStart(const std::atomic<int>* stopFlag, bool& crc) {
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (Stopped(stopFlag)) {
            return kTransferStopped;
        }
        const int c = TransferReadByte(kStartTimeoutMs);
        if (c == xmodem::CRC_START || c == xmodem::NAK) {
            crc = c == xmodem::CRC_START;
            return std::nullopt;
        }
        if (c == xmodem::CAN && ConfirmedCancel()) {
            return kTransferCancelledByReceiver;
        }
    }
    SendCancel();
    TransferDrainInput();
    return kTransferNoStartSignal;
}

// The block sent last, kept for the end: it may have to go once more.
struct LastBlock {
    std::array<std::uint8_t, 133> bytes{};
    std::uint32_t length = 0;
    Clock::time_point arrived = Now();  // when the line last gave a byte
};

// Every block of the image, each until accepted. Empty when all were; else
// the result the transfer ends with.
std::optional<int> SendBlocks(const std::uint8_t* image, std::int64_t total, bool crc,
                              const std::atomic<int>* stopFlag, LastBlock& last,
                              std::int64_t& sent) {
    std::uint8_t number = 1;
    while (total - sent > 0) {
        last.length = BuildBlock(last.bytes, number, image + sent, total - sent, crc);
        const BlockOutcome outcome =
            SendBlock(last.bytes.data(), last.length, false, stopFlag, last.arrived);
        if (outcome != BlockOutcome::kAccepted) {
            return BlockFailure(outcome);
        }
        ++number;
        sent += xmodem::kBlockData;
        g_progress.store(static_cast<std::int32_t>(sent * 1000 / total), std::memory_order_relaxed);
        if (Stopped(stopFlag)) {
            return kTransferStopped;
        }
    }
    return std::nullopt;
}

// The first EOT behind the last block. Empty when the end is still to be
// confirmed by later EOTs; else the result the transfer ends with.
std::optional<int> EndBehindLastBlock(const std::atomic<int>* stopFlag, LastBlock& last,
                                      int result) {
    // The last block has no next one whose answer would show a stale ACK for
    // it up; the first EOT's watch does, or leaves the end in doubt.
    switch (SendFirstEot(last.arrived)) {
        case FirstEnd::kConfirmed:
            return result;
        case FirstEnd::kCancelled:
            return kTransferCancelledByReceiver;
        case FirstEnd::kUnanswered:
            return std::nullopt;  // the block's answer was due long since, and no NAK came
        case FirstEnd::kInDoubt:
            break;
    }
    // Once the line is quiet the block goes again: a receiver that has it
    // answers the repeat with ACK, one that wants it takes it, and its ACK
    // then stands on its own.
    const Settled quiet = AwaitQuiet();
    if (quiet == Settled::kCancelled) {
        return kTransferCancelledByReceiver;
    }
    if (quiet == Settled::kBabbling) {
        return kTransferEndNotAcknowledged;
    }
    const BlockOutcome outcome =
        SendBlock(last.bytes.data(), last.length, true, stopFlag, last.arrived);
    if (outcome != BlockOutcome::kAccepted) {
        return BlockFailure(outcome);
    }
    return std::nullopt;
}

// The EOTs after the first, each under the old half-second rules.
int EndByLaterEots(const std::atomic<int>* stopFlag, int attempt, int result) {
    for (; attempt < kEndAttempts; ++attempt) {
        if (Stopped(stopFlag)) {
            return kTransferStopped;
        }
        switch (SendLaterEot()) {
            case LaterEnd::kConfirmed:
                return result;
            case LaterEnd::kCancelled:
                return kTransferCancelledByReceiver;
            case LaterEnd::kBabbling:
                return kTransferEndNotAcknowledged;
            case LaterEnd::kNotConfirmed:
                break;
        }
    }
    return kTransferEndNotAcknowledged;
}

}  // namespace

int TransferSendFile(const std::uint8_t* image, std::int32_t size,
                     const std::atomic<int>* stopFlag) {
    g_progress.store(0, std::memory_order_relaxed);
    if (Stopped(stopFlag)) {
        return kTransferStopped;
    }
    bool crc = false;
    if (const std::optional<int> failed = AwaitStart(stopFlag, crc)) {
        return *failed;
    }
    if (Stopped(stopFlag)) {
        return kTransferStopped;
    }
    // 64-bit: bytes sent run up to the size rounded up to whole blocks, which
    // passes INT32_MAX for the largest sizes, and the progress multiplies by 1000.
    const std::int64_t total = std::max<std::int32_t>(size, 0);
    std::int64_t sent = 0;
    LastBlock last;
    if (const std::optional<int> failed = SendBlocks(image, total, crc, stopFlag, last, sent)) {
        return *failed;
    }
    // A size within 127 bytes of INT32_MAX rounds up past what the result can
    // hold; it must not turn into a failure code.
    const int result = static_cast<int>(std::min<std::int64_t>(sent, INT_MAX));
    if (total == 0) {
        return EndByLaterEots(stopFlag, 0, result);
    }
    if (Stopped(stopFlag)) {
        return kTransferStopped;
    }
    if (const std::optional<int> ended = EndBehindLastBlock(stopFlag, last, result)) {
        return *ended;
    }
    return EndByLaterEots(stopFlag, 1, result);
}
