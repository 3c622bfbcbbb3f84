// Where the view's messages go: commands, buttons of the form, the probe
// thread's result and the timers.
#include <utility>

#include "form/ControlIds.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "protocol/Probe.h"
#include "res/ResourceIds.h"
#include "serial/PortPath.h"

CTirvel2View::~CTirvel2View() {
    // A view going away mid-connection must not leave a thread behind that
    // would post to it or use its port.
    g_nProbeStopFlag = 1;
    JoinProbeThread();
    ClosePort();
}

fw::LRESULT CTirvel2View::WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) {
    if (message == res::WM_PROBE_RESULT) {
        return OnProbeResult(wParam, lParam);
    }
    if (message == fw::WM_TIMER) {
        OnTimer(static_cast<fw::UINT>(wParam));
        return 0;
    }
    if (message != fw::WM_COMMAND) {
        return fw::CFormView::WindowProc(message, wParam, lParam);
    }
    // The toolbar's and the form's buttons, by command id.
    static constexpr std::pair<fw::UINT, void (CTirvel2View::*)()> kCommands[] = {
        {res::ID_START_CONFIG, &CTirvel2View::OnStartConfig},
        {res::ID_STOP_CONFIG, &CTirvel2View::OnStopConfig},
        {res::ID_MODIFY, &CTirvel2View::OnModify},
        {res::ID_RESTORE, &CTirvel2View::OnRestore},
        {res::ID_SETTINGS, &CTirvel2View::OnSettings},
        {res::ID_UPDATE_FIRMWARE, &CTirvel2View::OnUpdateFirmware},
        {res::ID_SELECT_FIRMWARE, &CTirvel2View::OnSelectFirmware},
        {res::ID_SHOW_DEBUG_INFO, &CTirvel2View::OnShowDebugInfo},
        {res::IDC_EXPORT_CONFIG, &CTirvel2View::OnExportConfig},
        {res::IDC_IMPORT_CONFIG, &CTirvel2View::OnImportConfig},
        {res::IDC_TEMPLATE_CONFIG, &CTirvel2View::OnTemplateConfig},
        {res::IDC_CLEAR_CONFIG, &CTirvel2View::OnClearConfig},
        {res::IDC_CLEAR_LOG, &CTirvel2View::OnClearLog},
        {res::IDC_SAVE_LOG, &CTirvel2View::OnSaveLog},
    };
    for (const auto& [id, handler] : kCommands) {
        if (static_cast<fw::UINT>(wParam) == id) {
            (this->*handler)();
            return 0;
        }
    }
    return fw::CFormView::WindowProc(message, wParam, lParam);
}

void CTirvel2View::SetConnectionState(int state) {
    m_nConnectState = state;
    // The frame keeps "awaiting loader" while the view talks to the loader.
    if (state != kStateLoaderDialogue) {
        if (CMainFrame* frame = AfxGetMainFrame()) {
            frame->SetConnectionState(state);
        }
    }
}

void CTirvel2View::JoinProbeThread() {
    if (m_probeThread.joinable()) {
        m_probeThread.join();
    }
}

bool CTirvel2View::OpenPort(const ComPortSettings& line,
                            void (*setup)(PortHandle port, const ComPortSettings* settings)) {
    m_hComPort = OpenComPort(serial::PortPath(m_nComPort, m_strDevicePath).c_str());
    if (m_hComPort == INVALID_HANDLE_VALUE) {
        AfxMessageBox(res::IDS_OPEN_PORT_FAILED);
        return false;
    }
    setup(m_hComPort, &line);
    return true;
}

void CTirvel2View::ClosePort() {
    if (m_hComPort != INVALID_HANDLE_VALUE) {
        CloseComPort(m_hComPort);
        m_hComPort = INVALID_HANDLE_VALUE;
    }
}

void CTirvel2View::EnableFileButtons(bool enable) {
    for (int id : {res::IDC_EXPORT_CONFIG, res::IDC_IMPORT_CONFIG, res::IDC_TEMPLATE_CONFIG,
                   res::IDC_CLEAR_CONFIG}) {
        EnableDlgItem(id, enable);
    }
}
