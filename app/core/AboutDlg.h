// The About box (template 100, with icon 128), the same on every desktop:
// nothing to exchange, OK closes it.
#pragma once

#include "framework/Dialog.h"
#include "res/ResourceIds.h"

namespace app {

class CAboutDlg : public fw::CDialog {
public:
    explicit CAboutDlg(fw::CWnd* parent = nullptr) : fw::CDialog(res::IDD_ABOUTBOX, parent) {}
};

}  // namespace app
