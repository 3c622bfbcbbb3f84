// Answers modal dialogs from a script, as an operator would: type into some
// fields, press a button. A dialog that stays open after its answer (failed
// validation) takes the next answer for the same template; with no answer left,
// or a different dialog than expected, it is cancelled and noted.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "ScriptedWindow.h"
#include "framework/Dialog.h"

namespace testsupport {

struct DialogAnswer {
    fw::UINT templateId;
    std::map<int, std::string> typed;  // control ID -> UTF-8 text
    int button = fw::IDOK;
};

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
    std::size_t Pending() const { return script_.size(); }
    const std::vector<ShownDialog>& Shown() const { return shown_; }
    // Dialogs that opened with no matching answer (and were cancelled).
    int Unexpected() const { return unexpected_; }

    int RunModal(fw::CDialog& dialog, fw::CWnd* parent) override;

private:
    fw::CMessageLoop& loop_;
    std::deque<DialogAnswer> script_;
    std::vector<ShownDialog> shown_;
    int unexpected_ = 0;
};

}  // namespace testsupport
