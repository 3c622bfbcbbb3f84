// The main frame's part that every host shares: the copy of the view's
// connection state, which decides the commands that are enabled, and the link
// to the view that is stopped before the window closes. The desktop frame
// (toolbar, status bar) and tirvelctl's console frame build on it.
#pragma once

#include "common/Win.h"

class CTirvel2View;

class CMainFrame {
public:
    virtual ~CMainFrame() = default;

    // Called by the view whenever its connection state changes.
    virtual void SetConnectionState(int state) { m_nConnectState = state; }
    int ConnectionState() const { return m_nConnectState; }

    void SetView(CTirvel2View* view) { m_pView = view; }
    CTirvel2View* View() const { return m_pView; }

    // Whether a toolbar command is enabled in the current frame state.
    bool IsCommandEnabled(fw::UINT commandId) const {
        return IsCommandEnabledInState(commandId, m_nConnectState);
    }
    static bool IsCommandEnabledInState(fw::UINT commandId, int state);
    // Commands whose keys belong to the focused control: the edit commands, and
    // the pane commands of a window that has one pane. None of them has a
    // handler, so a desktop leaves their keys to the control.
    static bool BelongsToFocusedControl(fw::UINT commandId);

    // Closing: the view ends whatever device activity runs, then the host closes.
    void OnClose();

private:
    int m_nConnectState = 0;
    CTirvel2View* m_pView = nullptr;
};

// The application's main window, as the view finds it; set by the host.
CMainFrame* AfxGetMainFrame();
void AfxSetMainFrame(CMainFrame* frame);
