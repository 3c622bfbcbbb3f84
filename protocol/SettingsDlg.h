// Dialog 132: the COM port number, 1 to 255.
#pragma once

#include <string>

#include "framework/DataExchange.h"
#include "framework/Dialog.h"

class CSettingsDlg : public fw::CDialog {
public:
    explicit CSettingsDlg(fw::CWnd* parent = nullptr);

    unsigned m_nComPort = 0;

    bool OnInitDialog() override;
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override;

    // The line under the number: the device that number opens here, or why
    // none; empty where names need no resolving (Windows) or the text is no
    // COM number at all.
    static std::string DescribeComNumber(const std::string& typed);

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    void ShowReachedDevice(const std::string& typed);
};
