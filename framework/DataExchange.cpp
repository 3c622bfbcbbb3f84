#include "framework/DataExchange.h"

namespace fw {

void CDataExchange::Fail(int controlId) {
    if (!failed_) {
        failed_ = true;
        failedControl_ = controlId;
        m_pDlgWnd->FocusDlgItem(controlId);
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::string& bytes) {
    pDX->SetLastControl(id);
    if (pDX->m_bSaveAndValidate) {
        bytes = pDX->m_pDlgWnd->GetDlgItemBytes(id);
    } else {
        pDX->m_pDlgWnd->SetDlgItemBytes(id, bytes);
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value) {
    pDX->SetLastControl(id);
    if (pDX->m_bSaveAndValidate) {
        value = pDX->m_pDlgWnd->IsDlgButtonChecked(id);
    } else {
        pDX->m_pDlgWnd->CheckDlgButton(id, value);
    }
}

void DDX_Control(CDataExchange* pDX, int id, CControlBinding& control) {
    pDX->SetLastControl(id);
    if (!control.IsBound()) {
        control.Bind(pDX->m_pDlgWnd, id);
    }
}

}  // namespace fw
