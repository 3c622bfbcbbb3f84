// A window without a screen: it keeps each control's text, visibility, enabled
// and check state by ID (starting from the dialog template), records message
// boxes by string ID, and delivers posted messages and timers through the
// portable message loop. tirvelctl runs the view in one (its message boxes
// become lines on the console); the tests act as the operator through Type
// and Click.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/DialogTemplate.h"
#include "framework/Language.h"
#include "framework/MessageLoop.h"
#include "framework/WindowSiteCore.h"

namespace fw {

struct RecordedMessageBox {
    UINT textId;
    UINT captionId;
    UINT type;
    MessageArgs args;
};

class CHeadlessWindow : public CWindowSiteCore {
public:
    // Creates the controls of the template and attaches itself to the window.
    CHeadlessWindow(CMessageLoop& loop, CWnd& window, UINT templateId,
                    Language language = CurrentLanguage());
    CHeadlessWindow(CMessageLoop& loop, CWnd& window, DialogTemplate dialogTemplate);
    ~CHeadlessWindow() override;

    // --- the operator's side ---
    // Typing replaces the text of an editable control; false (and nothing
    // changes) for read-only, hidden, disabled or unknown controls. Typing
    // into a drop-down's edit part tells the window (CBN_EDITCHANGE). A
    // password edit keeps the text as typed: there is no screen to hide it from.
    bool Type(int id, const std::string& utf8);
    // Clicks a visible, enabled button, check box or radio button (a check box
    // toggles; a radio button is checked, its group's others unchecked, and the
    // window told, as for a button).
    bool Click(int id);
    // Picks an item of a visible, enabled drop-down's list: it becomes the
    // text and the window is told (CBN_SELCHANGE).
    bool Choose(int id, std::size_t item);
    // Opens a visible, enabled drop-down's list: the window is told first
    // (CBN_DROPDOWN), as a host tells it before the list shows.
    bool DropDown(int id);
    // A toolbar or menu command.
    void Command(int id);

    std::string Text(int id) const { return GetControlText(id); }
    bool Visible(int id) const { return IsControlVisible(id); }
    bool Enabled(int id) const { return IsControlEnabled(id); }
    int Check(int id) const { return GetControlCheck(id); }
    int Focus() const { return focus_; }
    // Set by the system, for panes: the look and the size in pixels (0 if never).
    const RichEditLook* Look(int id) const;
    std::pair<int, int> SizePixels(int id) const;
    // A progress bar's range and position as the system last set them.
    std::pair<int, int> ProgressRange(int id) const;
    int ProgressPos(int id) const;
    // A drop-down's list, and a static's look as the system set them.
    std::vector<std::string> Items(int id) const;
    const TextLook* TextLookOf(int id) const;
    bool Exists(int id) const { return controls_.count(id) != 0; }

    const std::vector<RecordedMessageBox>& MessageBoxes() const { return boxes_; }
    std::vector<UINT> MessageBoxTexts() const;
    void ClearMessageBoxes() { boxes_.clear(); }
    // Runs while a box is "open" (e.g. to pump the loop); returns the button.
    std::function<int(const RecordedMessageBox&)> onMessageBox;

    // --- IWindowSite ---
    // A message box is recorded, then onMessageBox asked for the button
    // (IDOK without it).
    FW_WINDOW_SITE_CONTROLS(, override)

private:
    // The loop delivers to windows: this one stands in for the site and takes
    // the announcement of a post as the word to deliver the oldest one.
    class CAnnouncement : public CWnd {
    public:
        explicit CAnnouncement(CHeadlessWindow& site) : site_(site) {}
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    private:
        CHeadlessWindow& site_;
    };

    // Posts and timers go through the portable loop.
    void AnnouncePosted() override;
    bool StartTimer(UINT id, UINT periodMs) override;
    bool StopTimer(UINT id) override;

    struct Control {
        ControlKind kind;
        std::string text;
        bool visible = true;
        bool enabled = true;
        bool readOnly = false;
        int check = 0;
        bool hasLook = false;
        RichEditLook look;
        std::pair<int, int> size{0, 0};
        std::pair<int, int> range{0, 100};
        int pos = 0;
        std::vector<std::string> items;
        bool hasTextLook = false;
        TextLook textLook;
    };

    Control* Find(int id);
    const Control* Find(int id) const;
    // Checks a radio button and unchecks the others of its group.
    void CheckRadio(int id);

    CMessageLoop& loop_;
    DialogTemplate template_;
    CAnnouncement announcement_{*this};
    std::map<int, Control> controls_;
    std::vector<RecordedMessageBox> boxes_;
    int focus_ = -1;
};

}  // namespace fw
