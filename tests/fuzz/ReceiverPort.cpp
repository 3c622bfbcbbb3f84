#include "ReceiverPort.h"

#include <algorithm>
#include <cstring>

namespace fuzzsupport {
namespace {

using std::chrono::milliseconds;

constexpr char kSoh = 0x01;
constexpr char kEot = 0x04;
constexpr char kAck = 0x06;
constexpr char kNak = 0x15;
constexpr char kCan = 0x18;

constexpr milliseconds kAnswerDelay[4] = {milliseconds(0), milliseconds(3), milliseconds(30),
                                          milliseconds(300)};
constexpr milliseconds kStrayDelay[3] = {milliseconds(0), milliseconds(50), milliseconds(200)};

std::uint16_t Crc(const char* data) {
    unsigned crc = 0;
    for (int i = 0; i < 128; ++i) {
        crc ^= static_cast<unsigned>(static_cast<std::uint8_t>(data[i])) << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000U) != 0 ? ((crc << 1) ^ 0x1021U) & 0xFFFFU : (crc << 1) & 0xFFFFU;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

bool Intact(const std::string& frame, bool crc) {
    if (frame.size() != (crc ? 133U : 132U) || frame[0] != kSoh ||
        static_cast<std::uint8_t>(frame[1]) + static_cast<std::uint8_t>(frame[2]) != 0xFF) {
        return false;
    }
    const char* data = frame.data() + 3;
    if (crc) {
        const std::uint16_t value = Crc(data);
        return static_cast<std::uint8_t>(frame[131]) == (value >> 8) &&
               static_cast<std::uint8_t>(frame[132]) == (value & 0xFF);
    }
    unsigned sum = 0;
    for (int i = 0; i < 128; ++i) {
        sum += static_cast<std::uint8_t>(data[i]);
    }
    return static_cast<std::uint8_t>(frame[131]) == (sum & 0xFF);
}

}  // namespace

ReceiverPort::ReceiverPort(const std::uint8_t* script, std::size_t size, bool crc)
    : ScriptedPort(nullptr, 0, true), script_(script), size_(size), crc_(crc) {
    Send(milliseconds(0), crc ? 'C' : kNak);
}

std::uint8_t ReceiverPort::NextChoice() {
    // A script that has run out leaves a receiver that answers at once and
    // truly, so every transfer can end.
    return pos_ < size_ ? script_[pos_++] : 0;
}

void ReceiverPort::Send(milliseconds due, char byte) {
    auto at = std::upper_bound(pending_.begin(), pending_.end(), due,
                               [](milliseconds d, const Pending& p) { return d < p.due; });
    pending_.insert(at, Pending{due, byte});
}

// One choice byte: bits 0-1 the answer's delay, bits 2-3 the stray byte (none,
// ACK, NAK, noise), bits 4-5 when it comes (with the answer but before it, or
// 0, 50 or 200 ms after it).
void ReceiverPort::Answer(char meaning, bool silent) {
    const std::uint8_t c = NextChoice();
    const milliseconds at = now_ + kAnswerDelay[c & 0x03];
    if (!silent) {
        Send(at, meaning);
    }
    const int strayKind = (c >> 2) & 0x03;
    if (strayKind == 0) {
        return;
    }
    const char stray = strayKind == 1 ? kAck : strayKind == 2 ? kNak : '~';
    const int when = (c >> 4) & 0x03;
    if (when == 0) {
        // Ahead of the answer in the same burst: inserted before it.
        auto first = std::lower_bound(pending_.begin(), pending_.end(), at,
                                      [](const Pending& p, milliseconds d) { return p.due < d; });
        pending_.insert(first, Pending{at, stray});
    } else {
        Send(at + kStrayDelay[when - 1], stray);
    }
}

void ReceiverPort::Block(const std::string& frame) {
    if (!Intact(frame, crc_)) {
        ++badFrames_;
        broken_ = true;
        return;
    }
    const auto number = static_cast<std::uint8_t>(frame[1]);
    if (blocks_ > 0 && number == static_cast<std::uint8_t>(blocks_ & 0xFF)) {
        Answer(kAck, false);  // the sender repeats a block it has: its ACK was lost
        return;
    }
    if (number != static_cast<std::uint8_t>((blocks_ + 1) & 0xFF)) {
        // Out of sequence: a receiver gives up on such a sender.
        broken_ = true;
        Send(now_, kCan);
        Send(now_, kCan);
        return;
    }
    // The answer's kind comes with the next choice: 0 stored and ACKed,
    // 1 NAKed and not stored, 2 stored but its ACK lost, 3 cancelled.
    const int kind = NextChoice() & 0x03;
    if (kind == 3) {
        broken_ = true;
        Send(now_, kCan);
        Send(now_, kCan);
        return;
    }
    if (kind != 1) {
        stored_.append(frame, 3, 128);
        ++blocks_;
    }
    Answer(kind == 1 ? kNak : kAck, kind == 2);
}

std::int32_t ReceiverPort::Read(void* buffer, std::uint32_t maxBytes) {
    ++reads_;
    std::uint32_t got = 0;
    auto* out = static_cast<char*>(buffer);
    while (got < maxBytes && !pending_.empty() && pending_.front().due <= now_) {
        out[got++] = pending_.front().byte;
        delivered_ += pending_.front().byte;
        pending_.pop_front();
    }
    if (got == 0) {
        ++emptyReads_;
    }
    Called();
    return static_cast<std::int32_t>(got);
}

std::int32_t ReceiverPort::Write(const void* buffer, std::uint32_t count) {
    const std::string frame(static_cast<const char*>(buffer), count);
    written_ += frame;
    if (broken_) {
        // Gone from the transfer: it answers nothing more.
    } else if (frame.size() == 1 && frame[0] == kEot) {
        const bool acknowledged = (NextChoice() & 0x01) == 0;
        if (acknowledged) {
            complete_ = true;
        }
        Answer(acknowledged ? kAck : kNak, false);
    } else if (frame.size() == 1 && frame[0] == kCan) {
        broken_ = true;  // the sender gives up
    } else if (frame.size() == 1 && frame[0] == kAck) {
        // The sender confirms a cancel: nothing to answer.
    } else if (!frame.empty() && frame[0] == kSoh) {
        Block(frame);
    } else {
        ++badFrames_;
    }
    Called();
    return static_cast<std::int32_t>(count);
}

}  // namespace fuzzsupport
