#include "DialoguePort.h"

#include <algorithm>
#include <cstring>

namespace fuzzsupport {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kTimedRead{100};
constexpr milliseconds kLateAnswer{250};

}  // namespace

DialoguePort::DialoguePort(const std::uint8_t* script, std::size_t size)
    : ScriptedPort(nullptr, 0, false),
      script_(script),
      size_(size),
      echoes_(size < 1 || (script[0] & 0x01) == 0),
      shuffled_(size >= 1 && (script[0] & 0x20) != 0),
      gaps_(size >= 2 ? script[1] : 0),
      refusedItem_(size >= 3 ? script[2] : 0) {
    const int count = (size >= 1 ? (script[0] >> 1) & 0x0F : 7) + 1;
    for (int n = 1; n <= count; ++n) {
        const std::string k = std::to_string(n);
        items_.push_back({n, "Name" + k, "v" + k, "f" + k});
    }
}

const ModelItem* DialoguePort::Find(int number) const {
    for (const ModelItem& item : items_) {
        if (item.number == number) {
            return &item;
        }
    }
    return nullptr;
}

std::uint8_t DialoguePort::Next() {
    return pos_ < size_ ? script_[pos_++] : 0;
}

std::int32_t DialoguePort::Read(void* buffer, std::uint32_t maxBytes) {
    ++reads_;
    auto* out = static_cast<char*>(buffer);
    std::uint32_t got = 0;
    while (got < maxBytes && !out_.empty() && out_.front().due <= now_) {
        Pending& p = out_.front();
        const std::size_t take = std::min<std::size_t>(p.bytes.size(), maxBytes - got);
        std::memcpy(out + got, p.bytes.data(), take);
        delivered_.append(p.bytes, 0, take);
        got += static_cast<std::uint32_t>(take);
        p.bytes.erase(0, take);
        if (p.bytes.empty()) {
            out_.pop_front();
        }
    }
    if (got == 0) {
        ++emptyReads_;
    }
    if (got < maxBytes) {
        now_ += kTimedRead;
    }
    Called();
    return static_cast<std::int32_t>(got);
}

std::int32_t DialoguePort::Write(const void* buffer, std::uint32_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    written_.append(bytes, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes[i] == '\r') {
            Command(line_);
            line_.clear();
        } else {
            line_ += bytes[i];
        }
    }
    Called();
    return static_cast<std::int32_t>(count);
}

std::string DialoguePort::StrayLine(int kind) {
    if (kind == 5) {
        return "OK\r\n";
    }
    if (kind == 6) {
        return "ERROR\r\n";
    }
    // A line of an earlier answer can only be told from the answer by the
    // echo.
    if (echoes_ && !earlier_.empty()) {
        return earlier_[Next() % earlier_.size()];
    }
    return "+STATUS: 1\r\n";
}

void DialoguePort::Command(const std::string& line) {
    if (line.empty()) {
        return;
    }
    const std::uint8_t choice = Next();
    const milliseconds at = now_;
    if ((choice & 0x07) >= 5) {
        out_.push_back({at, StrayLine(choice & 0x07)});
    }
    if (echoes_) {
        out_.push_back({at, line + '\r'});
    }
    const std::size_t found = line.find("AT");
    std::string answer = found == std::string::npos ? "ERROR\r\n" : Execute(line.substr(found));
    for (std::size_t start = 0, end; (end = answer.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        if (end > start) {
            earlier_.push_back(answer.substr(start, end + 2 - start));
        }
    }
    if ((choice & 0x20) != 0) {
        answer = Misdeliver(answer);
    }
    const milliseconds due = at + ((choice & 0x10) != 0 ? kLateAnswer : milliseconds(0));
    out_.push_back({due, answer});
    if ((choice & 0x08) != 0) {
        out_.push_back({due, "OK\r\n"});
    }
}

std::string DialoguePort::Misdeliver(const std::string& answer) {
    std::string out;
    for (std::size_t start = 0; start < answer.size();) {
        const std::size_t end = answer.find("\r\n", start);
        const std::size_t next = end == std::string::npos ? answer.size() : end + 2;
        const std::string line = answer.substr(start, next - start);
        start = next;
        switch (Next() & 0x07) {
            case 6:
                out += line + line;
                break;
            case 7:
                break;
            default:
                out += line;
                break;
        }
    }
    return out;
}

std::string DialoguePort::Listing() {
    std::vector<const ModelItem*> listed;
    for (const ModelItem& item : items_) {
        if (item.number > 8 || (gaps_ & (1U << (item.number - 1))) == 0) {
            listed.push_back(&item);
        }
    }
    if (shuffled_) {
        for (std::size_t i = listed.size(); i > 1; --i) {
            shuffle_ = shuffle_ * 1103515245U + 12345U;
            std::swap(listed[i - 1], listed[(shuffle_ >> 8) % i]);
        }
    }
    std::string out = "\r\n";
    for (const ModelItem* item : listed) {
        out += std::to_string(item->number) + "," + item->name + "," + item->value + "\r\n";
    }
    return out + "OK\r\n";
}

std::string DialoguePort::Execute(const std::string& command) {
    if (command == "AT+TEST" || command == "AT+QUIT") {
        return "OK\r\n";
    }
    if (command == "AT+DTU&IMEI?") {
        return "\r\n" + Imei() + "\r\nOK\r\n";
    }
    if (command == "AT+DTU&VER?") {
        return "\r\n" + Version() + "\r\nOK\r\n";
    }
    if (command == "AT+GETDV=0") {
        return Listing();
    }
    if (command == "AT+RESTORE") {
        for (ModelItem& item : items_) {
            item.value = item.factory;
        }
        ++restores_;
        return "OK\r\n";
    }
    if (command.starts_with("AT+SET=")) {
        const std::size_t comma = command.find(',');
        const int number = comma == std::string::npos ? 0 : std::atoi(command.c_str() + 7);
        auto item = std::find_if(items_.begin(), items_.end(),
                                 [number](const ModelItem& i) { return i.number == number; });
        if (item == items_.end() || number == refusedItem_) {
            return "ERROR\r\n";
        }
        item->value = command.substr(comma + 1);
        return "OK\r\n";
    }
    return "ERROR\r\n";
}

}  // namespace fuzzsupport
