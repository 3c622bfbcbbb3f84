#include "firmware/TransferDlg.h"

#include <cstdint>
#include <limits>

#include "cfgfile/InputFile.h"
#include "res/ResourceIds.h"

CTransferDlg::CTransferDlg(fw::CWnd* parent) : fw::CDialog(res::IDD_TRANSFER, parent) {}

CTransferDlg::~CTransferDlg() {
    StopWorker();
}

void CTransferDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::CDialog::DoDataExchange(pDX);
    fw::DDX_Control(pDX, res::IDC_TRANSFER_PROGRESS, m_ctrlProgress);
    // The path is in the file system's encoding, not device text: it goes to
    // the read-only field as it is and never comes back from it.
    if (!pDX->m_bSaveAndValidate && Site() != nullptr) {
        Site()->SetControlText(res::IDC_TRANSFER_PATH, m_strFilePath);
    }
}

fw::LRESULT CTransferDlg::WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) {
    if (message == fw::WM_TIMER) {
        OnTimer(static_cast<fw::UINT>(wParam));
        return 0;
    }
    if (message == res::WM_TRANSFER_DONE) {
        return OnTransferDone(wParam, lParam);
    }
    return fw::CDialog::WindowProc(message, wParam, lParam);
}

bool CTransferDlg::OnInitDialog() {
    fw::CDialog::OnInitDialog();
    m_ctrlProgress.SetRange(0, kProgressMax);
    m_ctrlProgress.SetPos(0);

    // The sender counts in 32 bits.
    static_assert(cfgfile::kFirmwareLimitBytes <=
                  static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()));
    std::string bytes;
    switch (cfgfile::ReadInputFile(m_strFilePath, bytes, cfgfile::kFirmwareLimitBytes)) {
        case cfgfile::InputStatus::kOk:
            break;
        case cfgfile::InputStatus::kEmpty:
            // Nothing to send: nothing starts and the dialog waits for Cancel.
            return true;
        default:
            // The file was checked before the dialog; one that has changed into
            // something unsendable since is as good as one that cannot be opened.
            return false;
    }
    m_image.assign(bytes.begin(), bytes.end());
    m_transfer.Start(m_hComPort, m_image.data(), static_cast<std::int32_t>(m_image.size()),
                     [this](int result) {
                         PostMessage(res::WM_TRANSFER_DONE,
                                     static_cast<fw::WPARAM>(static_cast<fw::LPARAM>(result)), 0);
                     });
    m_nTimer = SetTimer(kProgressTimer, 10);
    return true;
}

void CTransferDlg::OnTimer(fw::UINT timerId) {
    if (timerId == kProgressTimer) {
        m_ctrlProgress.SetPos(m_transfer.PerMille());
    }
}

fw::LRESULT CTransferDlg::OnTransferDone(fw::WPARAM wParam, fw::LPARAM) {
    // A result that was already on its way when Cancel ended the dialog.
    if (IsEnded()) {
        return 0;
    }
    // The worker has posted its last word; it ends right after.
    m_transfer.Wait();
    // The operator sees where the transfer got to beside its outcome, not the
    // last value a timer tick happened to catch.
    m_ctrlProgress.SetPos(m_transfer.PerMille());
    ReleaseImage();
    const int result = static_cast<int>(static_cast<fw::LPARAM>(wParam));
    const bool failed = result < 0;
    MessageBoxById(failed ? res::IDS_TRANSFER_FAILED : res::IDS_TRANSFER_SUCCEEDED,
                   failed ? res::IDS_TRANSFER_ERROR_CAPTION : res::IDS_TRANSFER_INFO_CAPTION,
                   fw::MB_OK | fw::MB_ICONINFORMATION);
    if (m_nTimer != 0) {
        KillTimer(m_nTimer);
        m_nTimer = 0;
    }
    fw::CDialog::OnOK();
    return 0;
}

void CTransferDlg::OnOK() {
    if (HasWorker()) {
        return;
    }
    fw::CDialog::OnOK();
}

void CTransferDlg::OnCancel() {
    m_transfer.RequestStop();
    if (m_nTimer != 0) {
        KillTimer(m_nTimer);
        m_nTimer = 0;
    }
    StopWorker();
    ReleaseImage();
    fw::CDialog::OnCancel();
}

void CTransferDlg::StopWorker() {
    m_transfer.Stop();
}

void CTransferDlg::ReleaseImage() {
    std::vector<std::uint8_t>().swap(m_image);
}
