// Modal dialogs on the console. The password dialog is answered from
// --password (once per connection: asked again means refused), else by a
// prompt without echo when stdin is a terminal, else cancelled. File choosers
// get the FILE argument of the command. The transfer dialog runs on the message
// loop until it ends by itself (its worker's result) or the operator
// interrupts (Cancel); its progress goes to the console and its outcome box
// becomes a line. Every other dialog is cancelled.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "cli/Console.h"
#include "cli/TransferProgress.h"
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

    // Asked while a transfer dialog is open: has the operator interrupted?
    void SetInterruptCheck(std::function<bool()> check) { interrupted_ = std::move(check); }
    // Told when a transfer dialog opens (true) and closes (false).
    void SetModalHook(std::function<void(bool)> hook) { modalHook_ = std::move(hook); }
    void SetTransferProgress(TransferProgress* progress) { progress_ = progress; }
    // The text of the last transfer dialog's outcome box; nothing when it
    // ended without one (cancelled, or nothing to send).
    std::optional<fw::UINT> TransferOutcome() const { return transferOutcome_; }

    int RunModal(fw::CDialog& dialog, fw::CWnd* parent) override;
    std::optional<std::string> RunFileDialog(const fw::FileDialogRequest& request) override;

private:
    std::optional<std::string> NextPassword();
    int AnswerPassword(fw::CDialog& dialog, const std::string& password);
    int RunTransfer(fw::CDialog& dialog);

    fw::CMessageLoop& loop_;
    Console& console_;
    std::optional<std::string> password_;
    bool prompt_;
    int wakeFd_;
    std::optional<std::string> file_;
    int asked_ = 0;
    PasswordOutcome outcome_ = PasswordOutcome::NotAsked;
    std::function<bool()> interrupted_;
    std::function<void(bool)> modalHook_;
    TransferProgress* progress_ = nullptr;
    std::optional<fw::UINT> transferOutcome_;
};

}  // namespace cli
