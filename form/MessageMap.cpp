// Where the view's messages go: commands, buttons of the form, the probe
// thread's result and the timers.
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
    switch (static_cast<fw::UINT>(wParam)) {
        case res::ID_START_CONFIG:
            OnStartConfig();
            break;
        case res::ID_STOP_CONFIG:
            OnStopConfig();
            break;
        case res::ID_MODIFY:
            OnModify();
            break;
        case res::ID_RESTORE:
            OnRestore();
            break;
        case res::ID_SETTINGS:
            OnSettings();
            break;
        case res::ID_UPDATE_FIRMWARE:
            OnUpdateFirmware();
            break;
        case res::ID_SELECT_FIRMWARE:
            OnSelectFirmware();
            break;
        case res::ID_SHOW_DEBUG_INFO:
            OnShowDebugInfo();
            break;
        case res::IDC_EXPORT_CONFIG:
            OnExportConfig();
            break;
        case res::IDC_IMPORT_CONFIG:
            OnImportConfig();
            break;
        case res::IDC_TEMPLATE_CONFIG:
            OnTemplateConfig();
            break;
        case res::IDC_CLEAR_CONFIG:
            OnClearConfig();
            break;
        case res::IDC_CLEAR_LOG:
            OnClearLog();
            break;
        case res::IDC_SAVE_LOG:
            OnSaveLog();
            break;
        default:
            return fw::CFormView::WindowProc(message, wParam, lParam);
    }
    return 0;
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
