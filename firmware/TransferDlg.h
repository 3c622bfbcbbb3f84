// The modal dialog that sends the firmware once the boot loader is ready: it
// loads the file, runs the XMODEM sender on a worker thread over the open port,
// follows its progress and reports the outcome itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/TransferWorker.h"
#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "framework/ProgressCtrl.h"
#include "serial/ComPort.h"

class CTransferDlg : public fw::CDialog {
public:
    static constexpr fw::UINT kProgressTimer = 1;
    static constexpr int kProgressMax = 1000;

    explicit CTransferDlg(fw::CWnd* parent = nullptr);
    // Stops and waits for a worker still running (a host that dropped the
    // dialog without Cancel), so it never outlives the image or the port.
    ~CTransferDlg() override;

    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM lParam) override;
    bool OnInitDialog() override;
    // Ignored while a worker runs: only its result or Cancel may end the
    // dialog then, or the worker would be left sending on its own.
    void OnOK() override;
    void OnCancel() override;
    void OnTimer(fw::UINT timerId);
    fw::LRESULT OnTransferDone(fw::WPARAM wParam, fw::LPARAM lParam);

    bool HasWorker() const { return m_transfer.Running(); }

    PortHandle m_hComPort = INVALID_HANDLE_VALUE;
    fw::UINT m_nTimer = 0;
    // Its result reaches the dialog as WM_USER+1000, posted by the worker.
    TransferWorker m_transfer;
    std::vector<std::uint8_t> m_image;
    fw::CProgressCtrl m_ctrlProgress;  // control 1137
    std::string m_strFilePath;         // control 1136; native path (UTF-8)

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    // The worker ends at its next check point once asked to stop; it is
    // waited for in full, since the image and the port (closed by the view
    // right after the dialog) must outlive it.
    void StopWorker();
    void ReleaseImage();
};
