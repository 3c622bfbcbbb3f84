// The part of the desktop main window that both desktops decide the same way:
// which command goes where, and whether the frame's state copy lets it through.
// The window itself (toolbar, status bar, printing, closing) is the shell's.
#pragma once

#include "form/MainFrame.h"

namespace app {

class CTirvel2Doc;

class CDesktopFrame : public CMainFrame {
public:
    explicit CDesktopFrame(CTirvel2Doc& document) : document_(document) {}

    // CMainFrame: the view reports its state; the toolbar follows at once.
    void SetConnectionState(int state) override;

    // A command as the toolbar or an accelerator gives it.
    void OnCommand(fw::UINT command);
    // Every toolbar button enabled as the command-enabling table says.
    virtual void UpdateCommandUI() = 0;

protected:
    // Becomes the application's main frame over the view and starts the
    // document (the view's set-up); Unlink undoes the links before the window
    // goes.
    void StartDocument(CTirvel2View& view);
    void Unlink();

    // Exit: the window closes the way its toolkit closes it (Stop first).
    virtual void CloseFrame() = 0;
    // The view draws nothing on paper: one empty page. False when printing
    // failed; a cancelled print dialog is no failure.
    virtual bool PrintEmptyPage() = 0;
    // The view's own commands, through the form's window.
    virtual void SendToForm(fw::UINT command) = 0;

private:
    CTirvel2Doc& document_;
};

}  // namespace app
