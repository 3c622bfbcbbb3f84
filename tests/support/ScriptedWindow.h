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
    fw::MessageArgs args;
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
    // Set by the system, for panes: the look and the size in pixels (0 if never).
    const fw::RichEditLook* Look(int id) const;
    std::pair<int, int> SizePixels(int id) const;
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
    void AppendControlText(int id, const std::string& utf8) override;
    void SetRichEditLook(int id, const fw::RichEditLook& look) override;
    void SetControlSizePixels(int id, int width, int height) override;
    int MessageBoxById(fw::UINT textId, fw::UINT captionId, fw::UINT type,
                       const fw::MessageArgs& args) override;
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
        bool hasLook = false;
        fw::RichEditLook look;
        std::pair<int, int> size{0, 0};
    };

    fw::CMessageLoop& loop_;
    fw::CWnd& window_;
    std::map<int, Control> controls_;
    std::vector<RecordedMessageBox> boxes_;
    int focus_ = -1;
};

}  // namespace testsupport
