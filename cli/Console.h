// tirvelctl's two output streams: data on stdout, everything said to the
// operator on stderr. Texts come from the string table in the chosen language;
// on a terminal one status line (the countdown) is rewritten in place and
// cleared before any other line, so that lines never mix.
#pragma once

#include <ostream>
#include <string>

#include "framework/WindowSite.h"
#include "job/Messages.h"

namespace cli {

// Progress is told unless -q; outcomes and failures always are.
enum class Verbosity { Normal, Quiet };
// A terminal on stderr takes the status line rewritten in place.
enum class ErrStream { Plain, Terminal };

class Console : public job::Messages {
public:
    Console(std::ostream& out, std::ostream& err, Verbosity verbosity, ErrStream errStream);

    std::ostream& Out() { return out_; }
    bool Quiet() const { return quiet_; }
    bool ErrIsTerminal() const { return terminal_; }

    // The string in the current language with its inserts, without the line
    // ends some message texts start or end with.
    static std::string Text(fw::UINT id, const fw::MessageArgs& args = {});

    // Shown unless -q.
    void Progress(fw::UINT id, const fw::MessageArgs& args = {});
    void ProgressLine(const std::string& line);
    // Rewritten in place; only on a terminal and unless -q.
    void Status(const std::string& line);
    void ClearStatus();
    // Text left open on the line for the operator's answer.
    void Prompt(const std::string& text);

protected:
    // Outcomes and failures are always shown.
    void Show(const std::string& line) override;

private:
    std::ostream& out_;
    std::ostream& err_;
    bool quiet_;
    bool terminal_;
    bool statusShown_ = false;
};

}  // namespace cli
