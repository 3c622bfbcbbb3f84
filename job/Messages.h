// What a job tells the operator: its outcomes and failures, wherever the
// operator is (a terminal, a window's message box). The last one is kept:
// a device's row and record carry it, a window shows it as its refusal.
#pragma once

#include <string>

#include "framework/StringTable.h"
#include "framework/WindowSite.h"

namespace job {

class Messages {
public:
    virtual ~Messages() = default;

    void Message(const std::string& line) {
        Show(line);
        lastMessage_ = line;
        lastMessageId_ = 0;
    }
    void Message(fw::UINT id, const fw::MessageArgs& args = {}) {
        Message(fw::LoadText(id, args));
        lastMessageId_ = id;
    }
    const std::string& LastMessage() const { return lastMessage_; }
    // The string the last message came from; 0 for a line made otherwise.
    fw::UINT LastMessageId() const { return lastMessageId_; }
    void ForgetLastMessage() {
        lastMessage_.clear();
        lastMessageId_ = 0;
    }

protected:
    virtual void Show(const std::string& line) = 0;

private:
    std::string lastMessage_;
    fw::UINT lastMessageId_ = 0;
};

// Shows nothing: for a caller that wants only the last message.
class LastMessageOnly : public Messages {
protected:
    void Show(const std::string&) override {}
};

}  // namespace job
