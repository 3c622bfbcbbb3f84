#include "cli/LogOutput.h"

#include "framework/CodePage.h"

namespace cli {

void LogOutput::Follow(std::string_view pane) {
    bool wrote = false;
    // The pane lost characters: erase them on the screen, one by one.
    while (!(pane.size() >= shown_.size() && pane.compare(0, shown_.size(), shown_) == 0)) {
        if (shown_.empty()) {
            break;
        }
        const std::size_t start = fw::LastCharacterStart(shown_, language_);
        const std::size_t removed = shown_.size() - start;
        if (held_ >= removed) {
            held_ -= removed;  // never written, nothing to erase
        } else {
            held_ = 0;
            out_ << "\b \b";
            wrote = true;
        }
        shown_.erase(start);
    }
    if (pane.size() > shown_.size()) {
        const std::string_view added = pane.substr(shown_.size());
        if (terminal_) {
            const std::size_t from = shown_.size() - held_;
            shown_.append(added);
            std::size_t tail = 0;
            const std::string text =
                fw::DecodeCodePagePrefix(std::string_view(shown_).substr(from), language_, &tail);
            held_ = tail;
            out_ << text;
        } else {
            shown_.append(added);
            out_.write(added.data(), static_cast<std::streamsize>(added.size()));
        }
        wrote = true;
    }
    if (wrote) {
        out_.flush();
    }
}

}  // namespace cli
