// Dialog 132: the COM port number, 1 to 255.
#pragma once

#include "framework/DataExchange.h"
#include "framework/Dialog.h"

class CSettingsDlg : public fw::CDialog {
public:
    explicit CSettingsDlg(fw::CWnd* parent = nullptr);

    unsigned m_nComPort = 0;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;
};
