#include "protocol/PasswordDlg.h"
#include "protocol/SettingsDlg.h"
#include "res/ResourceIds.h"

CPasswordDlg::CPasswordDlg(fw::CWnd* parent) : fw::CDialog(res::IDD_PASSWORD, parent) {}

void CPasswordDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, res::IDC_PASSWORD, m_strPassword);
}

CSettingsDlg::CSettingsDlg(fw::CWnd* parent) : fw::CDialog(res::IDD_SETTINGS, parent) {}

void CSettingsDlg::DoDataExchange(fw::CDataExchange* pDX) {
    fw::DDX_Text(pDX, res::IDC_COM_PORT, m_nComPort);
    fw::DDV_MinMaxUInt(pDX, m_nComPort, 1, 255);
}
