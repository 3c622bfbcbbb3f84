#include "cli/Console.h"

#include "common/TextOutput.h"
#include "framework/StringTable.h"

namespace cli {

Console::Console(std::ostream& out, std::ostream& err, Verbosity verbosity, ErrStream errStream)
    : out_(out),
      err_(err),
      quiet_(verbosity == Verbosity::Quiet),
      terminal_(errStream == ErrStream::Terminal) {}

std::string Console::Text(fw::UINT id, const fw::MessageArgs& args) {
    return fw::LoadText(id, args);
}

// Every line goes out under the one rule for device text: messages carry
// IMEIs, versions, item names and what a worker said.
void Console::Show(const std::string& line) {
    ClearStatus();
    err_ << common::PrintableLines(line) << '\n' << std::flush;
}

void Console::Progress(fw::UINT id, const fw::MessageArgs& args) {
    if (!quiet_) {
        Show(Text(id, args));
    }
}

void Console::ProgressLine(const std::string& line) {
    if (!quiet_) {
        Show(line);
    }
}

void Console::Status(const std::string& line) {
    if (quiet_ || !terminal_) {
        return;
    }
    // Carriage return, the line, then erase whatever a longer line left.
    err_ << '\r' << common::Printable(line) << "\x1b[K" << std::flush;
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
    err_ << common::PrintableLines(text) << std::flush;
}

}  // namespace cli
