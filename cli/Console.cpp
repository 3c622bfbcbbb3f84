#include "cli/Console.h"

#include "framework/StringTable.h"

namespace cli {

std::string TrimLineEnds(std::string text) {
    const auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
    std::size_t begin = 0;
    while (begin < text.size() && isLineEnd(text[begin])) {
        ++begin;
    }
    std::size_t end = text.size();
    while (end > begin && isLineEnd(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

Console::Console(std::ostream& out, std::ostream& err, bool quiet, bool errIsTerminal)
    : out_(out), err_(err), quiet_(quiet), terminal_(errIsTerminal) {}

std::string Console::Text(fw::UINT id, const fw::MessageArgs& args) {
    return TrimLineEnds(fw::FormatMessageText(fw::LoadString(id), args));
}

void Console::Message(const std::string& line) {
    ClearStatus();
    err_ << line << '\n' << std::flush;
    lastMessage_ = line;
}

void Console::Progress(fw::UINT id, const fw::MessageArgs& args) {
    if (quiet_) {
        return;
    }
    ClearStatus();
    err_ << Text(id, args) << '\n' << std::flush;
}

void Console::ProgressLine(const std::string& line) {
    if (quiet_) {
        return;
    }
    ClearStatus();
    err_ << line << '\n' << std::flush;
}

void Console::Status(const std::string& line) {
    if (quiet_ || !terminal_) {
        return;
    }
    // Carriage return, the line, then erase whatever a longer line left.
    err_ << '\r' << line << "\x1b[K" << std::flush;
    statusShown_ = true;
}

void Console::ClearStatus() {
    if (statusShown_) {
        err_ << "\r\x1b[K" << std::flush;
        statusShown_ = false;
    }
}

void Console::Prompt(const std::string& text) {
    ClearStatus();
    err_ << text << std::flush;
}

}  // namespace cli
