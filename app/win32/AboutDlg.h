// The About box (template 100, with icon 128): nothing to exchange, OK closes it.
#pragma once

#include "framework/Dialog.h"
#include "res/ResourceIds.h"

namespace app::win32 {

class CAboutDlg : public fw::CDialog {
public:
    explicit CAboutDlg(fw::CWnd* parent = nullptr) : fw::CDialog(res::IDD_ABOUTBOX, parent) {}
};

}  // namespace app::win32
