// Modal dialogs on the console. The password dialog is answered from
// --password (once per connection: asked again means refused), else by a
// prompt without echo when stdin is a terminal, else cancelled. File choosers
// get the FILE argument of the command; every other dialog is cancelled.
#pragma once

#include <optional>
#include <string>

#include "cli/Console.h"
#include "framework/Dialog.h"
#include "framework/MessageLoop.h"

namespace cli {

enum class PasswordOutcome {
    NotAsked,
    Answered,
    Missing,      // asked, but no way to get one
    Refused,      // asked again after an answer
    Interrupted,  // the prompt was left by Ctrl+C or end of input
};

class ConsoleDialogs : public fw::IDialogHost {
public:
    // wakeFd: becomes readable when the operator interrupts; -1 for none.
    ConsoleDialogs(fw::CMessageLoop& loop, Console& console, std::optional<std::string> password,
                   bool promptOnTerminal, int wakeFd);
    ~ConsoleDialogs() override;

    void SetChosenFile(std::optional<std::string> path) { file_ = std::move(path); }
    // A new connection: the password may be given again.
    void BeginConnection();
    PasswordOutcome Outcome() const { return outcome_; }

    int RunModal(fw::CDialog& dialog, fw::CWnd* parent) override;
    std::optional<std::string> RunFileDialog(const fw::FileDialogRequest& request) override;

private:
    std::optional<std::string> NextPassword();
    int AnswerPassword(fw::CDialog& dialog, const std::string& password);

    fw::CMessageLoop& loop_;
    Console& console_;
    std::optional<std::string> password_;
    bool prompt_;
    int wakeFd_;
    std::optional<std::string> file_;
    int asked_ = 0;
    PasswordOutcome outcome_ = PasswordOutcome::NotAsked;
};

// Reads one line from a terminal without echo; nothing on end of input or
// when wakeFd becomes readable first.
std::optional<std::string> ReadSecretLine(int fd, int wakeFd);

}  // namespace cli
