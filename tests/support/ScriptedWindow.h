// A window for tests: it keeps each control's text, visibility, enabled and
// check state by ID (starting from the dialog template), records message boxes
// by string ID, and delivers posted messages and timers through a portable
// message loop. Tests act as the operator through Type and Click.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/DialogTemplate.h"
#include "framework/Language.h"
#include "framework/MessageLoop.h"
#include "framework/WindowSite.h"
#include "framework/Wnd.h"

namespace testsupport {

struct RecordedMessageBox {
    fw::UINT textId;
    fw::UINT captionId;
    fw::UINT type;
};

class ScriptedWindow : public fw::IWindowSite {
public:
    // Creates the controls of the template and attaches itself to the window.
    ScriptedWindow(fw::CMessageLoop& loop, fw::CWnd& window, fw::UINT templateId,
                   fw::Language language = fw::CurrentLanguage());
    ~ScriptedWindow() override;

    // --- the operator's side ---
    // Typing replaces the text of an editable control; false (and nothing
    // changes) for read-only, hidden, disabled or unknown controls.
    bool Type(int id, const std::string& utf8);
    // Clicks a visible, enabled button or check box (a check box toggles).
    bool Click(int id);
    // A toolbar or menu command.
    void Command(int id);

    std::string Text(int id) const;
    bool Visible(int id) const;
    bool Enabled(int id) const;
    int Check(int id) const;
    int Focus() const { return focus_; }
    bool Exists(int id) const { return controls_.count(id) != 0; }

    const std::vector<RecordedMessageBox>& MessageBoxes() const { return boxes_; }
    std::vector<fw::UINT> MessageBoxTexts() const;
    void ClearMessageBoxes() { boxes_.clear(); }
    // Runs while a box is "open" (e.g. to pump the loop); returns the button.
    std::function<int(const RecordedMessageBox&)> onMessageBox;

    // --- IWindowSite ---
    void ShowControl(int id, int showCommand) override;
    bool IsControlVisible(int id) const override { return Visible(id); }
    void EnableControl(int id, bool enable) override;
    bool IsControlEnabled(int id) const override { return Enabled(id); }
    void FocusControl(int id) override;
    void SetControlText(int id, const std::string& utf8) override;
    std::string GetControlText(int id) const override { return Text(id); }
    void SetControlCheck(int id, int state) override;
    int GetControlCheck(int id) const override { return Check(id); }
    int MessageBoxById(fw::UINT textId, fw::UINT captionId, fw::UINT type) override;
    void PostMessage(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override;
    fw::UINT SetTimer(fw::UINT id, fw::UINT periodMs) override;
    bool KillTimer(fw::UINT id) override;

private:
    struct Control {
        fw::ControlKind kind;
        std::string text;
        bool visible = true;
        bool enabled = true;
        bool readOnly = false;
        int check = 0;
    };

    fw::CMessageLoop& loop_;
    fw::CWnd& window_;
    std::map<int, Control> controls_;
    std::vector<RecordedMessageBox> boxes_;
    int focus_ = -1;
};

}  // namespace testsupport
