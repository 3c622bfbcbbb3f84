#include "cli/ConsoleDialogs.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "framework/HeadlessWindow.h"
#include "res/ResourceIds.h"

namespace cli {
namespace {

// Interactive attempts per connection before the connection is given up.
constexpr int kPromptAttempts = 3;

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
    std::optional<std::string> typed = ReadSecretLine(STDIN_FILENO, wakeFd_);
    console_.Prompt("\n");
    outcome_ = typed ? PasswordOutcome::Answered : PasswordOutcome::Interrupted;
    return typed;
}

int ConsoleDialogs::AnswerPassword(fw::CDialog& dialog, const std::string& password) {
    // Typed into the dialog's own control and confirmed with OK, so the
    // dialog's exchange turns the text into the device's bytes.
    fw::CHeadlessWindow window(loop_, dialog, dialog.TemplateId());
    dialog.OnInitDialog();
    window.Type(res::IDC_PASSWORD, password);
    dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDOK), 0);
    if (!dialog.IsEnded()) {
        dialog.WindowProc(fw::WM_COMMAND, static_cast<fw::WPARAM>(fw::IDCANCEL), 0);
    }
    return dialog.Result();
}

int ConsoleDialogs::RunModal(fw::CDialog& dialog, fw::CWnd*) {
    if (dialog.TemplateId() == res::IDD_PASSWORD) {
        if (std::optional<std::string> password = NextPassword()) {
            return AnswerPassword(dialog, *password);
        }
    }
    dialog.EndDialog(fw::IDCANCEL);
    return dialog.Result();
}

std::optional<std::string> ConsoleDialogs::RunFileDialog(const fw::FileDialogRequest&) {
    return file_;
}

std::optional<std::string> ReadSecretLine(int fd, int wakeFd) {
    termios saved{};
    const bool terminal = ::tcgetattr(fd, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string line;
    bool complete = false;
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const nfds_t count = wakeFd >= 0 ? 2 : 1;
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        if (count == 2 && (fds[1].revents & POLLIN) != 0) {
            break;
        }
        char c = 0;
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0) {
            break;
        }
        if (c == '\n' || c == '\r') {
            complete = true;
            break;
        }
        line += c;
    }
    if (terminal) {
        ::tcsetattr(fd, TCSAFLUSH, &saved);
    }
    if (!complete) {
        return std::nullopt;
    }
    return line;
}

}  // namespace cli
