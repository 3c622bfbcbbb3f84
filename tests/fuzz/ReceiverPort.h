// A port whose peer is an XMODEM receiver that reacts to what is written: it
// checks and stores blocks as a receiver does, while the fuzz input chooses
// how it answers each frame — ACK, NAK, a lost ACK, a cancel — how late, and
// what stray bytes come with the answer (a second ACK, a NAK, noise), before
// it or up to 200 ms after it. Time is virtual and moves only by the sender's
// waits.
//
// What it promises, and no more: every frame it receives is answered within
// 300 ms (a block it stored may go unanswered: a lost ACK), and every stray
// byte comes within 200 ms of the answer it belongs to. A sender can be held
// to the truth only against receivers that keep to that.
#pragma once

#include <deque>
#include <string>

#include "ScriptedPort.h"

namespace fuzzsupport {

class ReceiverPort : public ScriptedPort {
public:
    // crc: the variant the receiver asks for with its start signal.
    ReceiverPort(const std::uint8_t* script, std::size_t size, bool crc);

    std::int32_t Read(void* buffer, std::uint32_t maxBytes) override;
    std::int32_t Write(const void* buffer, std::uint32_t count) override;
    bool Wait(std::uint32_t timeoutMs) override { return WaitForDue(pending_, timeoutMs); }
    void Purge() override { PurgeDue(pending_); }

    // The receiver acknowledged an EOT while it held every block in order.
    bool Complete() const { return complete_; }
    // It saw a block out of sequence or malformed, or gave up.
    bool Broken() const { return broken_; }
    // The data fields of the blocks it stored, in order.
    const std::string& Stored() const { return stored_; }
    // Frames that were not whole, correct blocks of the variant asked for.
    int BadFrames() const { return badFrames_; }

private:
    struct Pending {
        std::chrono::milliseconds due;
        char byte;
    };

    std::uint8_t NextChoice();
    void Send(std::chrono::milliseconds due, char byte);
    void Answer(char meaning, bool silent);
    void Block(const std::string& frame);

    const std::uint8_t* script_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool crc_;
    std::deque<Pending> pending_;  // in the order they are due
    std::string stored_;
    unsigned blocks_ = 0;
    bool complete_ = false;
    bool broken_ = false;
    int badFrames_ = 0;
};

}  // namespace fuzzsupport
