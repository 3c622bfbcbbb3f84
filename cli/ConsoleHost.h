// The console host of the configuration view: the view in a console window,
// the main frame and the dialog host the view expects, the message loop that
// delivers the probe thread's result, and Ctrl+C turned into the Stop command.
// The commands of tirvelctl drive the view through this host the way an
// operator drives it through the desktop window.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "cli/Console.h"
#include "cli/ConsoleDialogs.h"
#include "cli/ConsoleWindow.h"
#include "cli/SignalWatcher.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "framework/MessageLoop.h"
#include "job/DeviceRecorder.h"
#include "res/ResourceIds.h"

namespace cli {

// The frame has no bar to show the state on; the host reads it from here.
class ConsoleFrame : public CMainFrame {};

struct HostSettings {
    int comPort = 1;
    std::string devicePath;  // instead of the COM number when not empty
    std::optional<std::string> password;
    bool promptForPassword = false;
};

enum class Connection { Connected, Failed, Interrupted };

class ConsoleHost {
public:
    ConsoleHost(const HostSettings& settings, Console& console);
    ~ConsoleHost();
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;

    // Start, then the loop until the view is connected or its connect
    // sequence has ended. On failure the view is stopped again.
    Connection Connect();
    // A toolbar command or a button of the form.
    void Command(fw::UINT id) { window_.Command(static_cast<int>(id)); }
    void Stop() { Command(res::ID_STOP_CONFIG); }

    // What Ctrl+C does, from any thread: the flag, then Stop posted to the view.
    void Interrupt();
    // True once Ctrl+C came; the Stop it posted has then been delivered.
    bool Interrupted();

    // Ctrl+C has come (the Stop it posted may still be on its way).
    bool InterruptRequested() const { return interrupted_.load(); }
    // Delivers at most one message, waiting for one until the deadline.
    void PumpOne(std::chrono::steady_clock::time_point deadline) { loop_.PumpOne(deadline); }

    // The firmware file for the next update, as chosen with "Selete File".
    void ChooseFirmware(const std::string& path) { view_.m_strFirmwarePath = path; }
    void SetTransferProgress(TransferProgress* progress) { dialogs_.SetTransferProgress(progress); }
    std::optional<fw::UINT> TransferOutcome() const { return dialogs_.TransferOutcome(); }

    // What the next file chooser answers.
    void ChooseFile(std::optional<std::string> path) { dialogs_.SetChosenFile(std::move(path)); }

    std::size_t MessageMark() const { return window_.MessageBoxes().size(); }
    bool ShownSince(std::size_t mark, fw::UINT textId) const {
        return window_.ShownSince(mark, textId);
    }

    CTirvel2View& View() { return view_; }
    // What is kept of each device worked on this host; keeps nothing unless set.
    job::DeviceRecorder& Recorder() { return recorder_ != nullptr ? *recorder_ : noRecords_; }
    void SetRecorder(job::DeviceRecorder& recorder) { recorder_ = &recorder; }
    int State() const { return frame_.ConnectionState(); }

private:
    // Why a connection that ended without the view saying so ended.
    void ExplainPasswordFailure(std::size_t mark);

    Console& console_;
    job::DeviceRecorder noRecords_;
    job::DeviceRecorder* recorder_ = nullptr;
    fw::CMessageLoop loop_;
    ConsoleFrame frame_;
    CTirvel2View view_;
    ConsoleWindow window_;
    std::atomic<bool> interrupted_{false};
    // After the window: its thread posts to the view and ends first.
    SignalWatcher watcher_;
    ConsoleDialogs dialogs_;
};

}  // namespace cli
