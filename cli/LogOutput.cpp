#include "cli/LogOutput.h"

#include <algorithm>
#include <optional>

#include "common/TextOutput.h"
#include "framework/CodePage.h"

namespace cli {
namespace {

// Below 0x30 no byte continues a GB18030 character, so LastCharacterStart
// parses forward from the byte after the last such byte.
bool EndsRun(char byte) {
    return static_cast<unsigned char>(byte) < 0x30;
}

// Where the run of bytes that ends before `before` starts: after its last byte
// below 0x30, or at the start of the file. Read back a block at a time.
std::optional<std::uint64_t> RunStart(LogFile& file, std::uint64_t before, std::size_t block) {
    std::string bytes;
    while (before > 0) {
        const std::uint64_t from = before > block ? before - block : 0;
        if (!file.ReadAt(from, static_cast<std::size_t>(before - from), bytes)) {
            return std::nullopt;
        }
        const auto last = std::find_if(bytes.rbegin(), bytes.rend(), EndsRun);
        if (last != bytes.rend()) {
            return from + static_cast<std::uint64_t>(bytes.rend() - last);
        }
        before = from;
    }
    return 0;
}

// The first cut at or after `at`, walking forward from the cut `from`; `end`
// is a cut. None when the file cannot be read.
std::optional<std::uint64_t> CutFrom(LogFile& file, std::uint64_t from, std::uint64_t at,
                                     std::uint64_t end, std::size_t block, fw::Language language) {
    if (from >= at) {
        return from;
    }
    fw::CharacterWalk walk(language);
    std::string bytes;
    std::uint64_t pos = from;
    while (pos < end) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(block, end - pos));
        if (!file.ReadAt(pos, count, bytes)) {
            return std::nullopt;
        }
        for (const char byte : bytes) {
            walk.Add(static_cast<unsigned char>(byte));
            ++pos;
            if (pos >= at && walk.AtCut()) {
                return pos;
            }
        }
    }
    return end;
}

}  // namespace

LogOutput::LogOutput(std::ostream& out, bool terminal, fw::Language language, LogFile* file,
                     std::size_t keep)
    : out_(out),
      terminal_(terminal),
      language_(language),
      file_(file),
      // A character is at most four bytes; a few more leave room for the
      // bytes held back on a terminal.
      keep_(std::max<std::size_t>(keep, 8)) {}

void LogOutput::Append(std::string_view bytes) {
    if (bytes.empty()) {
        return;
    }
    if (file_ != nullptr) {
        file_->Append(bytes);
    }
    if (terminal_) {
        const std::size_t from = tail_.size() - held_;
        tail_.append(bytes);
        std::size_t incomplete = 0;
        const std::string text =
            fw::DecodeCodePagePrefix(std::string_view(tail_).substr(from), language_, &incomplete);
        held_ = incomplete;
        out_ << common::PrintableLog(text);
    } else {
        tail_.append(bytes);
        out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    out_.flush();
    if (tail_.size() >= 2 * keep_) {
        Trim();
    }
}

void LogOutput::EraseLastCharacter() {
    if (tail_.empty() && !Refill()) {
        // Bytes no longer known: the screen can still take the character
        // back; there is nothing to erase once the log is empty.
        if (older_ > 0) {
            --older_;
            EraseInStream();
            EraseShown(std::string_view());
        }
        return;
    }
    const std::size_t start = fw::LastCharacterStart(tail_, language_);
    const std::string erased = tail_.substr(start);
    tail_.erase(start);
    if (file_ != nullptr && file_->GetKind() == LogFile::Kind::Regular) {
        file_->CutTo(base_ + tail_.size());
    }
    EraseInStream();
    EraseShown(erased);
}

void LogOutput::EraseInStream() {
    // A device cannot be cut back: it gets the erase as a pipe does.
    if (file_ != nullptr && file_->GetKind() != LogFile::Kind::Regular) {
        file_->Append("\b \b");
    }
}

void LogOutput::Trim() {
    fw::CharacterWalk walk(language_);
    std::size_t cut = 0;
    std::uint64_t characters = 0;
    const std::size_t limit = tail_.size() - keep_;
    for (std::size_t i = 0; i < limit; ++i) {
        walk.Add(static_cast<unsigned char>(tail_[i]));
        if (walk.AtCut()) {
            cut = i + 1;
            characters = walk.Characters();
        }
    }
    tail_.erase(0, cut);
    base_ += cut;
    older_ += characters;
}

bool LogOutput::Rereadable() const {
    return file_ != nullptr && file_->GetKind() == LogFile::Kind::Regular && file_->Good() &&
           base_ > 0;
}

bool LogOutput::Refill() {
    if (!Rereadable()) {
        return false;
    }
    std::optional<std::uint64_t> start = base_ > keep_ ? base_ - keep_ : 0;
    if (language_ == fw::Language::Chinese && *start > 0) {
        // A cut in the middle of a run is known only by walking from its start.
        const std::optional<std::uint64_t> run = RunStart(*file_, *start, keep_);
        start = run ? CutFrom(*file_, *run, *start, base_, keep_, language_) : std::nullopt;
    }
    std::string bytes;
    if (!start || !file_->ReadAt(*start, static_cast<std::size_t>(base_ - *start), bytes)) {
        return false;
    }
    fw::CharacterWalk walk(language_);
    for (const char byte : bytes) {
        walk.Add(static_cast<unsigned char>(byte));
    }
    older_ -= std::min(older_, walk.Characters());
    base_ = *start;
    tail_ = std::move(bytes);
    return !tail_.empty();
}

void LogOutput::EraseShown(std::string_view erased) {
    if (!terminal_) {
        out_ << "\b \b";
    } else if (!erased.empty() && held_ >= erased.size()) {
        held_ -= erased.size();  // never shown, nothing to take back
        return;
    } else {
        held_ = 0;
        // As wide as it was shown: two cells for a Chinese character, four
        // for a control character written as \xHH. Bytes no longer known
        // were one character; one cell is the best guess.
        const std::size_t cells =
            erased.empty() ? 1
                           : std::max<std::size_t>(1, common::DisplayWidth(common::PrintableLog(
                                                          fw::DecodeCodePage(erased, language_))));
        out_ << std::string(cells, '\b') << std::string(cells, ' ') << std::string(cells, '\b');
    }
    out_.flush();
}

}  // namespace cli
