// What the form view and the modal dialogs share on Qt: the controls of a
// dialog template as widgets inside a container, addressed by resource ID, and
// the window's messages (clicks, posted messages, timers) delivered to its
// WindowProc on the user-interface thread.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <map>
#include <string>

#include "common/DialogTemplate.h"
#include "framework/PaneLineBreaks.h"
#include "framework/WindowSiteCore.h"

#include "common/NonCopyable.h"

class QFont;
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

// The window layer's text (UTF-8) as Qt's.
QString FromUtf8(const std::string& utf8);

// The family to draw a template's or pane's face with: the face itself when the
// system has it, otherwise a font that covers its script (a CJK font for
// Chinese faces, the default sans font for the others).
QString ResolveFontFamily(const std::string& utf8Face);
QFont TemplateFont(const std::string& utf8Face, double points);

// Whether the object is a control created by a window site; those keep the
// clipboard keys for themselves, whatever shortcuts the frame has.
bool IsSiteControl(const QObject* object);

class CQtWindowSite : public QObject, public CWindowSiteCore {
    Q_OBJECT
public:
    // Creates the template's controls in the container, sets the container's
    // font and fixes its size to the template's. Attaching to the window is the
    // owner's business.
    CQtWindowSite(QWidget* container, CWnd& window, const DialogTemplate& dialogTemplate);
    ~CQtWindowSite() override;

    QWidget* Container() const { return container_; }
    QWidget* Control(int id) const;
    QSize SizePixels() const { return size_; }

    FW_WINDOW_SITE_CONTROLS(, override)

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Queued events to one receiver keep their order, and a pending one dies
    // with the site, so nothing reaches a window that is gone.
    void AnnouncePosted() override;
    bool StartTimer(UINT id, UINT periodMs) override;
    bool StopTimer(UINT id) override;
    void WhileBusy(const std::function<void()>& handle) override;

    struct ControlEntry {
        ControlKind kind;
        QWidget* widget;
    };
    const ControlEntry* Find(int id) const;
    // The control's widget when the control is of that kind, else nullptr.
    template <class Widget>
    Widget* WidgetOf(int id, ControlKind kind) const;

    QWidget* container_;
    QSize size_;
    std::map<int, ControlEntry> controls_;
    std::map<UINT, QTimer*> timers_;
    // A text document keeps one LF per line break.
    CPaneLineBreaks paneBreaks_{'\n'};
};

// While it lives, a modal window shows the normal arrow even when it opens
// inside a handler that set the wait cursor.
class CNormalCursorScope : NonCopyable {
public:
    CNormalCursorScope();
    ~CNormalCursorScope();

private:
    bool active_;
};

}  // namespace fw::qt
