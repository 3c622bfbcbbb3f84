// The view's set-up when its window exists, and the two rich-edit panes: the
// help text and the log of what the device sent.
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "form/ControlIds.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "framework/Dialog.h"
#include "framework/StringTable.h"
#include "res/ResourceIds.h"

void CTirvel2View::OnInitialUpdate() {
    // Binds the panes too, so they can be dressed below.
    fw::CFormView::OnInitialUpdate();

    if (CMainFrame* frame = AfxGetMainFrame()) {
        frame->SetView(this);
    }

    fw::RichEditLook look;
    look.readOnly = true;
    look.backgroundRgb = 0x000000;
    look.textRgb = 0xFFFFFF;
    look.heightTwips = 250;
    look.faceName = fw::LoadString(res::IDS_PANE_FONT_FACE);
    m_ctrlHelp.SetLook(look);
    m_ctrlLog.SetLook(look);

    m_ctrlHelp.SetFocus();
    // The set-up runs again for a new or opened document; the instructions
    // are shown once, not once per run.
    m_ctrlHelp.Clear();
    m_ctrlHelp.AppendBytes(fw::LoadStringAnsi(res::IDS_HELP_TEXT));
    FocusDlgItem(ItemNewId(1));

    // The file buttons need a connected device; Connected enables them.
    EnableFileButtons(false);
    ResetItemLabels();
    UpdateData(false);
    SetConnectionState(kStateIdle);

    for (int id : {res::IDC_IMEI, res::IDC_VERSION, res::IDC_VERSION_CAPTION, res::IDC_IMEI_CAPTION,
                   res::IDC_HELP_PANE}) {
        ShowDlgItem(id, fw::SW_SHOW);
    }
    for (int id : {res::IDC_LOG_PANE, res::IDC_CLEAR_LOG, res::IDC_SAVE_LOG}) {
        ShowDlgItem(id, fw::SW_HIDE);
    }
}

void CTirvel2View::AppendToLog(const char* chunk) {
    if (chunk == nullptr || chunk[0] == '\0') {
        return;
    }
    // The device echoes a backspace as its own chunk; whatever follows it in
    // that chunk (the blank and backspace of an erase sequence) is not shown.
    if (chunk[0] == '\b') {
        if (m_pLogFollower != nullptr) {
            m_pLogFollower->EraseLastCharacter();
        } else {
            m_ctrlLog.DeleteLastCharacter();
        }
        return;
    }
    const std::string_view bytes(chunk, std::strlen(chunk));
    if (m_pLogFollower != nullptr) {
        m_pLogFollower->Append(bytes);
    } else {
        m_ctrlLog.AppendBytes(bytes);
    }
}

void CTirvel2View::OnClearLog() {
    m_ctrlLog.Clear();
    m_ctrlLog.SetSizePixels(680, 500);
}

void CTirvel2View::OnSaveLog() {
    fw::FileDialogRequest request;
    request.save = true;
    request.defaultExt = "txt";
    request.fileName = "log";
    request.flags = fw::OFN_HIDEREADONLY | fw::OFN_OVERWRITEPROMPT | fw::OFN_CREATEPROMPT;
    request.filter = "文件类型(*.txt)|*.txt|文件类型(*.ini)|*.ini||";
    const std::optional<std::string> path = fw::RunFileDialog(request);
    if (!path) {
        return;
    }
    // The pane's bytes as they arrived, undecodable ones included.
    WriteChosenFile(*path, m_ctrlLog.GetTextBytes());
}
