#include "app/core/DesktopFrame.h"

#include "app/core/AboutDlg.h"
#include "app/core/Tirvel2Doc.h"
#include "form/Tirvel2View.h"
#include "res/ResourceIds.h"

namespace app {

void CDesktopFrame::SetConnectionState(int state) {
    CMainFrame::SetConnectionState(state);
    UpdateCommandUI();
}

void CDesktopFrame::StartDocument(CTirvel2View& view) {
    AfxSetMainFrame(this);
    SetView(&view);
    document_.OnNewDocument();
}

void CDesktopFrame::Unlink() {
    if (AfxGetMainFrame() == this) {
        AfxSetMainFrame(nullptr);
    }
    SetView(nullptr);
}

void CDesktopFrame::OnCommand(fw::UINT command) {
    switch (command) {
        case res::ID_APP_ABOUT: {
            // The box is modal over a view that may be busy with the device:
            // like every command of the table, it goes only where the state
            // copy lets it, whatever the toolbar showed a moment ago.
            if (!IsCommandEnabled(command)) {
                return;
            }
            CAboutDlg about(View());
            about.DoModal();
            return;
        }
        case res::ID_APP_EXIT:
            CloseFrame();
            return;
        case res::ID_FILE_NEW:
            document_.OnFileNew();
            return;
        case res::ID_FILE_OPEN:
            document_.OnFileOpen();
            return;
        case res::ID_FILE_SAVE:
            document_.OnFileSave();
            return;
        case res::ID_FILE_PRINT:
            if (!PrintEmptyPage()) {
                if (CTirvel2View* view = View()) {
                    view->AfxMessageBox(res::IDS_PRINT_FAILED);
                }
            }
            return;
        default:
            break;
    }
    // The state may have changed since the toolbar was last brought up to date.
    if (!IsCommandEnabled(command)) {
        return;
    }
    SendToForm(command);
}

}  // namespace app
