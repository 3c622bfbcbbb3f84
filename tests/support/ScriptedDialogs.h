// Answers modal dialogs from a script, as an operator would: type into some
// fields, press a button. A dialog that stays open after its answer (failed
// validation) takes the next answer for the same template; with no answer left,
// or a different dialog than expected, it is cancelled and noted.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ScriptedWindow.h"
#include "framework/Dialog.h"
#include "res/ResourceIds.h"

namespace testsupport {

struct DialogAnswer {
    fw::UINT templateId;
    std::map<int, std::string> typed;  // control ID -> UTF-8 text
    int button = fw::IDOK;
};

// The password dialog answered with text typed into it.
inline DialogAnswer PasswordAnswer(const std::string& text, int button = fw::IDOK) {
    return {res::IDD_PASSWORD, {{res::IDC_PASSWORD, text}}, button};
}

struct ShownDialog {
    fw::UINT templateId;
    std::map<int, std::string> initialText;  // what the dialog showed when it opened
    std::vector<RecordedMessageBox> messageBoxes;
    int result;
};

class ScriptedDialogs : public fw::IDialogHost {
public:
    explicit ScriptedDialogs(fw::CMessageLoop& loop);
    ~ScriptedDialogs() override;

    void Expect(DialogAnswer answer) { script_.push_back(std::move(answer)); }
    // The next file dialog returns this path (nothing: the operator cancels).
    void ExpectFile(std::optional<std::string> path) { files_.push_back(std::move(path)); }
    const std::vector<fw::FileDialogRequest>& FileRequests() const { return fileRequests_; }
    std::size_t Pending() const { return script_.size(); }
    const std::vector<ShownDialog>& Shown() const { return shown_; }
    // Dialogs that opened with no matching answer (and were cancelled).
    int Unexpected() const { return unexpected_; }

    int RunModal(fw::CDialog& dialog, fw::CWnd* parent) override;
    std::optional<std::string> RunFileDialog(const fw::FileDialogRequest& request) override;
    // Recorded, never opened.
    bool OpenDocument(const std::string& path) override {
        openedDocuments.push_back(path);
        return true;
    }
    std::vector<std::string> openedDocuments;

private:
    fw::CMessageLoop& loop_;
    std::deque<DialogAnswer> script_;
    std::vector<ShownDialog> shown_;
    std::deque<std::optional<std::string>> files_;
    std::vector<fw::FileDialogRequest> fileRequests_;
    int unexpected_ = 0;
};

}  // namespace testsupport
