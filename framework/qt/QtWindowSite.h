// What the form view and the modal dialogs share on Qt: the controls of a
// dialog template as widgets inside a container, addressed by resource ID, and
// the window's messages (clicks, posted messages, timers) delivered to its
// WindowProc on the user-interface thread.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "framework/DialogTemplate.h"
#include "framework/WindowSite.h"
#include "framework/Wnd.h"

class QFont;
class QKeyEvent;
class QTimer;
class QWidget;

namespace fw::qt {

// A font's dialog base units in pixels: the average width of the Latin letters
// and the character height. Four horizontal and eight vertical dialog units
// make one base unit, as on Windows.
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

DialogBaseUnits BaseUnitsOf(const QFont& font);
// Each coordinate converted on its own and rounded, so neighbouring controls
// meet where the template has them meet.
QRect DialogUnitsToPixels(const DialogRect& rect, DialogBaseUnits units);

// The family to draw a template's or pane's face with: the face itself when the
// system has it, otherwise a font that covers its script (a CJK font for
// Chinese faces, the default sans font for the others).
QString ResolveFontFamily(const std::string& utf8Face);
QFont TemplateFont(const std::string& utf8Face, double points);

// Copy, cut and paste keys (Ctrl+C/X/V and the platform's alternatives).
bool IsClipboardKey(const QKeyEvent& event);
// Whether the object is a control created by a window site; those keep the
// clipboard keys for themselves, whatever shortcuts the frame has.
bool IsSiteControl(const QObject* object);

class CQtWindowSite : public QObject, public IWindowSite {
    Q_OBJECT
public:
    // Creates the template's controls in the container, sets the container's
    // font and fixes its size to the template's. Attaching to the window is the
    // owner's business.
    CQtWindowSite(QWidget* container, CWnd& window, const DialogTemplate& dialogTemplate);
    ~CQtWindowSite() override;

    QWidget* Container() const { return container_; }
    CWnd& Window() const { return window_; }
    QWidget* Control(int id) const;
    DialogBaseUnits BaseUnits() const { return units_; }
    QSize SizePixels() const { return size_; }

    // A command as a click gives it: WM_COMMAND with the ID, under the wait
    // cursor, since handlers block on the device.
    void SendCommand(UINT id);
    // Runs after every message this site delivered (a modal dialog closes
    // there once it has ended).
    void SetAfterDispatch(std::function<void()> afterDispatch) {
        afterDispatch_ = std::move(afterDispatch);
    }

    // IWindowSite
    void ShowControl(int id, int showCommand) override;
    bool IsControlVisible(int id) const override;
    void EnableControl(int id, bool enable) override;
    bool IsControlEnabled(int id) const override;
    void FocusControl(int id) override;
    void SetControlText(int id, const std::string& utf8) override;
    std::string GetControlText(int id) const override;
    void SetControlCheck(int id, int state) override;
    int GetControlCheck(int id) const override;
    void AppendControlText(int id, const std::string& utf8) override;
    void SetRichEditLook(int id, const RichEditLook& look) override;
    void SetControlSizePixels(int id, int width, int height) override;
    void SetProgressRange(int id, int low, int high) override;
    void SetProgressPos(int id, int pos) override;
    int MessageBoxById(UINT textId, UINT captionId, UINT type, const MessageArgs& args) override;
    void PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    UINT SetTimer(UINT id, UINT periodMs) override;
    bool KillTimer(UINT id) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Called through the event queue, once per posted message.
    Q_INVOKABLE void DeliverPosted();

    struct ControlEntry {
        ControlKind kind;
        QWidget* widget;
        // A rich edit's text ended with CR: a LF that starts the next piece
        // belongs to the same line break.
        bool endsWithCr = false;
    };
    struct Posted {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    const ControlEntry* Find(int id) const;
    ControlEntry* Find(int id);
    void Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool busy);

    QWidget* container_;
    CWnd& window_;
    DialogBaseUnits units_;
    QSize size_;
    std::map<int, ControlEntry> controls_;
    std::map<UINT, QTimer*> timers_;
    std::function<void()> afterDispatch_;

    // Posting is the one thing other threads do; the queue is handed over
    // under this lock, the event that announces it carries no data.
    std::mutex postedMutex_;
    std::deque<Posted> posted_;
};

// While it lives, a modal window shows the normal arrow even when it opens
// inside a handler that set the wait cursor.
class CNormalCursorScope {
public:
    CNormalCursorScope();
    ~CNormalCursorScope();
    CNormalCursorScope(const CNormalCursorScope&) = delete;
    CNormalCursorScope& operator=(const CNormalCursorScope&) = delete;

private:
    bool active_;
};

}  // namespace fw::qt
