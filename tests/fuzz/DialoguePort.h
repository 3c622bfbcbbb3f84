// A port whose peer is a Kavrel device that holds a table and answers the real
// commands truly, but misbehaves on its line as the fuzz input says: lines of
// its own just before a command's echo and just after an answer (OK, ERROR, a
// status line, or where it echoes, a line of an earlier answer), an answer
// late, lines of an answer sent twice or lost, a listing shuffled or with items
// left out. Time is virtual and moves only by the exchanges' reads.
//
// What it promises, and no more: it never loses or changes a command, its
// answer is the truth of its table when the command arrived, and nothing of
// its own comes between its echo and its answer (there a line of its own could
// not be told from the answer). Where it does not echo, its own lines are only
// OK, ERROR and the status line.
//
// Input: byte 0 the device (bit 0 set: no echo; bits 1-4 the number of items
// less one; bit 5 shuffled listings), byte 1 the items 1-8 its listings leave
// out, byte 2 the item whose AT+SET answers ERROR (0: none); then one byte per
// command (bits 0-2: 5 a stray OK before the echo, 6 ERROR, 7 a status or
// stale line; bit 3 an OK after the answer; bit 4 the answer 250 ms late; bit
// 5 one more byte per line of the answer: 6 sends it twice, 7 loses it). Once
// the input has run out the device behaves.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "ScriptedPort.h"

namespace fuzzsupport {

struct ModelItem {
    int number = 0;
    std::string name;
    std::string value;
    std::string factory;
};

class DialoguePort : public ScriptedPort {
public:
    DialoguePort(const std::uint8_t* script, std::size_t size);

    std::int32_t Read(void* buffer, std::uint32_t maxBytes) override;
    std::int32_t Write(const void* buffer, std::uint32_t count) override;
    bool Wait(std::uint32_t timeoutMs) override { return WaitForDue(out_, timeoutMs); }
    void Purge() override { PurgeDue(out_); }

    const std::vector<ModelItem>& Items() const { return items_; }
    const ModelItem* Find(int number) const;
    static std::string Imei() { return "861234567890123"; }
    static std::string Version() { return "KV-2.9.4"; }
    bool Echoes() const { return echoes_; }
    int Restores() const { return restores_; }

private:
    struct Pending {
        std::chrono::milliseconds due;
        std::string bytes;
    };

    std::uint8_t Next();
    void Command(const std::string& line);
    std::string Execute(const std::string& command);
    std::string Listing();
    std::string Misdeliver(const std::string& answer);
    std::string StrayLine(int kind);

    const std::uint8_t* script_;
    std::size_t size_;
    std::size_t pos_ = 3;
    bool echoes_;
    bool shuffled_;
    unsigned gaps_;
    int refusedItem_;
    std::vector<ModelItem> items_;
    std::deque<Pending> out_;
    std::string line_;
    std::vector<std::string> earlier_;  // lines of earlier answers
    int restores_ = 0;
    unsigned shuffle_ = 1;
};

// What the dialogue_truth target got through, for the property test to see
// that its scenarios reach every step and not only the failures.
struct DialogueTally {
    int connected = 0;
    int applied = 0;
    int restored = 0;
};
extern DialogueTally g_dialogueTally;

}  // namespace fuzzsupport
