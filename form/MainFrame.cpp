#include "form/MainFrame.h"

#include <atomic>

#include "form/Tirvel2View.h"
#include "res/ResourceIds.h"

namespace {

std::atomic<CMainFrame*> g_mainFrame{nullptr};

}  // namespace

CMainFrame* AfxGetMainFrame() {
    return g_mainFrame;
}

void AfxSetMainFrame(CMainFrame* frame) {
    g_mainFrame = frame;
}

bool CMainFrame::IsCommandEnabledInState(fw::UINT commandId, int state) {
    switch (commandId) {
        case res::ID_START_CONFIG:
        case res::ID_SETTINGS:
        case res::ID_UPDATE_FIRMWARE:
        case res::ID_SELECT_FIRMWARE:
        case res::ID_SHOW_DEBUG_INFO:
            return state == kStateIdle;
        case res::ID_STOP_CONFIG:
            return state != kStateIdle;
        case res::ID_MODIFY:
        case res::ID_RESTORE:
            return state == kStateConnected;
        case res::ID_APP_ABOUT:
            return state == kStateIdle || state == kStateConnecting || state == kStateConnected;
        case res::ID_APP_EXIT:
            return true;
        default:
            return false;
    }
}

bool CMainFrame::BelongsToFocusedControl(fw::UINT commandId) {
    switch (commandId) {
        case res::ID_EDIT_COPY:
        case res::ID_EDIT_CUT:
        case res::ID_EDIT_PASTE:
        case res::ID_EDIT_UNDO:
        case res::ID_NEXT_PANE:
        case res::ID_PREV_PANE:
            return true;
        default:
            return false;
    }
}

void CMainFrame::OnClose() {
    if (m_pView != nullptr) {
        m_pView->OnStopConfig();
    }
}
