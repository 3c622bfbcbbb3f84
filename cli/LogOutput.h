// The device's debug output as the log pane would hold it, streamed instead
// of held: a log runs for hours (120 MB an hour at 115200 baud), so only its
// last bytes stay in memory, enough to apply the pane's rule that a backspace
// erases the last character (a whole double-byte character in the Chinese
// code page). Where an erase reaches further back, the bytes come from the
// saved file again; without one the erase is done on the screen alone, which
// needs only the count of characters before what memory holds.
//
// stdout: to a file or a pipe the bytes go as the device sent them and an
// erase as "\b \b"; on a terminal they are decoded from the device's code page
// (a character split between two chunks held back until it is complete),
// control characters other than line ends and tabs made printable, and an
// erase takes back the cells the character took. The saved file holds, at
// every moment, the bytes the pane's Save button would write.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/LogFile.h"
#include "form/Tirvel2View.h"
#include "framework/Language.h"

namespace cli {

// About this much of the log is held in memory, and at most twice as much.
inline constexpr std::size_t kLogKeepBytes = 16 * 1024;

class LogOutput : public CLogFollower {
public:
    // file: the saved log, opened; null for none.
    LogOutput(std::ostream& out, bool terminal, fw::Language language, LogFile* file = nullptr,
              std::size_t keep = kLogKeepBytes);

    void Append(std::string_view bytes) override;
    void EraseLastCharacter() override;

    // The log's bytes held in memory now.
    std::size_t HeldBytes() const { return tail_.size(); }

private:
    // Drops the head of the tail at a cut, keeping about keep_ bytes.
    void Trim();
    // The tail is empty: its bytes again from the saved file, from a cut.
    bool Refill();
    // Writes on the screen the erase of a character, its bytes if known.
    void EraseShown(std::string_view erased);
    void EraseInStream();
    bool Rereadable() const;

    std::ostream& out_;
    bool terminal_;
    fw::Language language_;
    LogFile* file_;
    std::size_t keep_;
    std::string tail_;         // the log's last bytes, starting at a cut
    std::uint64_t base_ = 0;   // the log's bytes before the tail (while the file is whole)
    std::uint64_t older_ = 0;  // its characters before the tail, as erases count them
    std::size_t held_ = 0;     // terminal: bytes at the tail's end not shown yet
};

}  // namespace cli
