// The modal dialog that sends the firmware once the boot loader is ready: it
// loads the file, runs the XMODEM sender on a worker thread over the open port,
// follows its progress and reports the outcome itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "framework/ProgressCtrl.h"
#include "serial/ComPort.h"

// What the worker works with. Filled before the worker starts and read-only to
// it afterwards, except the stop flag.
struct TransferParameters {
    PortHandle port = INVALID_HANDLE_VALUE;
    const std::uint8_t* image = nullptr;
    std::int32_t size = 0;
    fw::CWnd* owner = nullptr;  // receives WM_USER+1000 with the result
    std::atomic<int> stopFlag{0};
};

// The worker: sends the image and posts the result to the owner.
unsigned long TransferThreadProc(TransferParameters* parameters);

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

    bool HasWorker() const { return m_worker.joinable(); }

    PortHandle m_hComPort = INVALID_HANDLE_VALUE;
    fw::UINT m_nTimer = 0;
    std::thread m_worker;
    TransferParameters m_transfer;
    std::vector<std::uint8_t> m_image;
    fw::CProgressCtrl m_ctrlProgress;  // control 1137
    std::string m_strFilePath;         // control 1136; native path (UTF-8)

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override;

private:
    // The worker ends at its next check point once the stop flag is up; it is
    // waited for in full, since the image, the parameter block and the port
    // (closed by the view right after the dialog) must outlive it.
    void StopWorker();
    void ReleaseImage();
};
