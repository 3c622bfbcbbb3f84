#include "framework/CodePage.h"
#include "framework/StringTable.h"
#include "protocol/PasswordDlg.h"
#include "protocol/SettingsDlg.h"
#include "res/ResourceIds.h"
#include "serial/PortPath.h"

CPasswordDlg::CPasswordDlg(fw::CWnd* parent) : fw::CDialog(res::IDD_PASSWORD, parent) {}

void CPasswordDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, res::IDC_PASSWORD, m_strPassword);
    // A character the code page lacks would be sent as '?': another password,
    // tried three times, with the operator never told why it fails.
    if (pDX->m_bSaveAndValidate && !pDX->Failed() && Site() != nullptr &&
        !fw::CanEncodeAnsi(Site()->GetControlText(res::IDC_PASSWORD))) {
        AfxMessageBox(res::IDS_PASSWORD_NOT_ENCODABLE);
        pDX->Fail(res::IDC_PASSWORD);
    }
}

CSettingsDlg::CSettingsDlg(fw::CWnd* parent) : fw::CDialog(res::IDD_SETTINGS, parent) {}

void CSettingsDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, res::IDC_COM_PORT, m_nComPort);
    fw::DDV_MinMaxUInt(pDX, m_nComPort, 1, 255);
}

bool CSettingsDlg::OnInitDialog() {
    const bool result = fw::CDialog::OnInitDialog();
    ShowReachedDevice(std::to_string(m_nComPort));
    return result;
}

fw::LRESULT CSettingsDlg::WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) {
    if (message == fw::WM_COMMAND && fw::LOWORD(wParam) == res::IDC_COM_PORT &&
        fw::HIWORD(wParam) == fw::EN_CHANGE) {
        if (Site() != nullptr) {
            ShowReachedDevice(Site()->GetControlText(res::IDC_COM_PORT));
        }
        return 0;
    }
    return fw::CDialog::WindowProc(message, wParam, lParam);
}

std::string CSettingsDlg::DescribeComNumber(const std::string& typed) {
    // Where the system opens COM names itself there is nothing to tell.
    if (!serial::ComNumbersResolved()) {
        return {};
    }
    const int number = serial::ParseComNumber("COM" + typed);
    if (number == 0) {
        return {};
    }
    for (const serial::ComPortEntry& entry : serial::ListComPorts()) {
        if (entry.number == number) {
            return fw::FormatMessageText(
                fw::LoadString(entry.present ? res::IDS_COM_OPENS : res::IDS_COM_PINNED_ABSENT),
                {entry.device});
        }
    }
    return fw::LoadString(res::IDS_COM_REACHES_NOTHING);
}

void CSettingsDlg::ShowReachedDevice(const std::string& typed) {
    if (Site() != nullptr) {
        Site()->SetControlText(res::IDC_COM_DEVICE, DescribeComNumber(typed));
    }
}
