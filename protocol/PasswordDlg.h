// Dialog 137: asks the operator for the device's password. A new one is built
// for every prompt, so no password outlives its prompt.
#pragma once

#include <string>

#include "framework/DataExchange.h"
#include "framework/Dialog.h"

class CPasswordDlg : public fw::CDialog {
public:
    explicit CPasswordDlg(fw::CWnd* parent = nullptr);

    std::string m_strPassword;  // bytes in the code page, as typed

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
};
