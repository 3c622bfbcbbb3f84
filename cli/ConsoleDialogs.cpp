#include "cli/ConsoleDialogs.h"

#include <chrono>

#include "cli/SecretLine.h"
#include "firmware/TransferDlg.h"
#include "framework/HeadlessWindow.h"
#include "res/ResourceIds.h"

namespace cli {
namespace {

// Interactive attempts per connection before the connection is given up.
constexpr int kPromptAttempts = 3;

// How long the loop may sleep between looks at the interrupt flag.
constexpr auto kInterruptPoll = std::chrono::milliseconds(50);

// A dialog's window whose message boxes are lines on the console; just before
// one is shown, the caller gets to finish what it had on the line.
class ConsoleDialogWindow : public fw::CHeadlessWindow {
public:
    ConsoleDialogWindow(fw::CMessageLoop& loop, fw::CDialog& dialog, Console& console,
                        std::function<void()> beforeBox)
        : fw::CHeadlessWindow(loop, dialog, dialog.TemplateId()),
          console_(console),
          beforeBox_(std::move(beforeBox)) {}

    int MessageBoxById(fw::UINT textId, fw::UINT captionId, fw::UINT type,
                       const fw::MessageArgs& args) override {
        if (beforeBox_) {
            beforeBox_();
        }
        console_.Message(textId, args);
        return fw::CHeadlessWindow::MessageBoxById(textId, captionId, type, args);
    }

private:
    Console& console_;
    std::function<void()> beforeBox_;
};

}  // namespace

ConsoleDialogs::ConsoleDialogs(fw::CMessageLoop& loop, Console& console,
                               std::optional<std::string> password, bool promptOnTerminal,
                               int wakeFd)
    : loop_(loop),
      console_(console),
      password_(std::move(password)),
      prompt_(promptOnTerminal),
      wakeFd_(wakeFd) {
    fw::SetDialogHost(this);
}

ConsoleDialogs::~ConsoleDialogs() {
    fw::SetDialogHost(nullptr);
}

void ConsoleDialogs::BeginConnection() {
    asked_ = 0;
    outcome_ = PasswordOutcome::NotAsked;
}

std::optional<std::string> ConsoleDialogs::NextPassword() {
    ++asked_;
    if (password_) {
        // The view asks again only after the device turned the password down;
        // the same answer would be turned down for ever.
        if (asked_ > 1) {
            outcome_ = PasswordOutcome::Refused;
            return std::nullopt;
        }
        outcome_ = PasswordOutcome::Answered;
        return password_;
    }
    if (!prompt_) {
        outcome_ = PasswordOutcome::Missing;
        return std::nullopt;
    }
    if (asked_ > kPromptAttempts) {
        outcome_ = PasswordOutcome::Refused;
        return std::nullopt;
    }
    if (asked_ > 1) {
        console_.Message(res::IDS_CLI_PASSWORD_REFUSED);
    }
    console_.Prompt(Console::Text(res::IDS_CLI_PASSWORD_PROMPT));
    std::optional<std::string> typed = ReadSecretLine(kStdinFd, wakeFd_);
    console_.Prompt("\n");
    outcome_ = typed ? PasswordOutcome::Answered : PasswordOutcome::Interrupted;
    return typed;
}

int ConsoleDialogs::AnswerPassword(fw::CDialog& dialog, const std::string& password) {
    // Typed into the dialog's own control and confirmed with OK, so the
    // dialog's exchange turns the text into the device's bytes.
    // A password the dialog refuses says why on the console, not into a void.
    ConsoleDialogWindow window(loop_, dialog, console_, {});
    dialog.OnInitDialog();
    window.Type(res::IDC_PASSWORD, password);
    dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDOK), 0);
    if (!dialog.IsEnded()) {
        dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDCANCEL), 0);
    }
    return dialog.Result();
}

int ConsoleDialogs::RunModal(fw::CDialog& dialog, fw::CWnd*) {
    if (dialog.TemplateId() == res::IDD_TRANSFER) {
        return RunTransfer(dialog);
    }
    if (dialog.TemplateId() == res::IDD_PASSWORD) {
        if (std::optional<std::string> password = NextPassword()) {
            return AnswerPassword(dialog, *password);
        }
    }
    dialog.EndDialog(fw::IDCANCEL);
    return dialog.Result();
}

int ConsoleDialogs::RunTransfer(fw::CDialog& dialog) {
    transferOutcome_.reset();
    auto* transfer = dynamic_cast<CTransferDlg*>(&dialog);
    const auto showProgress = [&](const ConsoleDialogWindow& window) {
        if (progress_ != nullptr) {
            progress_->Update(window.ProgressPos(res::IDC_TRANSFER_PROGRESS));
        }
    };
    ConsoleDialogWindow* shown = nullptr;
    ConsoleDialogWindow window(loop_, dialog, console_, [&] {
        // The bar's last position, set just before the box, beside the outcome.
        if (progress_ != nullptr && shown != nullptr) {
            showProgress(*shown);
            progress_->Finish();
        }
    });
    shown = &window;
    if (modalHook_) {
        modalHook_(true);
    }
    dialog.OnInitDialog();
    if (transfer != nullptr && transfer->HasWorker()) {
        if (progress_ != nullptr) {
            progress_->Begin(transfer->m_transfer.Size());
        }
        // Nobody can press Cancel here but Ctrl+C; the dialog otherwise ends
        // by itself with its worker's result.
        while (!dialog.IsEnded()) {
            if (interrupted_ && interrupted_()) {
                dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDCANCEL), 0);
                break;
            }
            loop_.PumpOne(std::chrono::steady_clock::now() + kInterruptPoll);
            showProgress(window);
        }
    }
    if (!dialog.IsEnded()) {
        // Nothing was started (the file could not be loaded): the dialog would
        // wait for a Cancel that no one on a console can give.
        dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDCANCEL), 0);
    }
    if (progress_ != nullptr) {
        progress_->Finish();
    }
    if (!window.MessageBoxes().empty()) {
        transferOutcome_ = window.MessageBoxes().back().textId;
    }
    if (modalHook_) {
        modalHook_(false);
    }
    return dialog.Result();
}

std::optional<std::string> ConsoleDialogs::RunFileDialog(const fw::FileDialogRequest&) {
    return file_;
}

}  // namespace cli
