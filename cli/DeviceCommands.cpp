// The subcommands that use the port at the loader's line rate: the firmware
// update and the debug log, both through the view, and the bare XMODEM send.
#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>

#include "cli/Commands.h"
#include "cli/LogFile.h"
#include "cli/LogOutput.h"
#include "cli/PortFailure.h"
#include "cli/TransferProgress.h"
#include "common/NonCopyable.h"
#include "firmware/TransferWorker.h"
#include "firmware/Xmodem.h"
#include "job/DeviceReport.h"
#include "serial/DeviceLines.h"
#include "serial/PortPath.h"

namespace cli {
namespace {

using Clock = std::chrono::steady_clock;

// TransferSendFile asks for the start signal this many times, 2 s each.
constexpr int kStartSignalSeconds = 32;

// What a command lends the host or the view is taken back however it ends.
class OnExit : NonCopyable {
public:
    explicit OnExit(std::function<void()> undo) : undo_(std::move(undo)) {}
    ~OnExit() { undo_(); }

private:
    std::function<void()> undo_;
};

fw::UINT SendFailureReason(int result) {
    switch (result) {
        case kTransferCancelledByReceiver:
            return res::IDS_CLI_SEND_CANCELLED;
        case kTransferNoStartSignal:
            return res::IDS_CLI_SEND_NO_START;
        case kTransferEndNotAcknowledged:
            return res::IDS_CLI_SEND_END_FAILED;
        default:
            return res::IDS_CLI_SEND_BLOCK_FAILED;
    }
}

// A command on one port, one device: its exit code.
int SingleDeviceExit(station::DeviceOutcome outcome, const station::DeviceRow& row) {
    switch (outcome) {
        case station::DeviceOutcome::Interrupted:
            return kInterruptedExitCode;
        case station::DeviceOutcome::Done:
            return row.ok ? kExitOk : kExitFailed;
        default:
            return kExitFailed;
    }
}

}  // namespace

station::DeviceOutcome UpdateDevice(ConsoleHost& host, Console& console,
                                    const std::string& firmware, station::DeviceObserver& observer,
                                    station::DeviceRow& row) {
    TransferProgress progress(console, console.ErrIsTerminal(), observer);
    // The progress display is the host's only while the command runs.
    host.SetTransferProgress(&progress);
    const OnExit detach([&host] { host.SetTransferProgress(nullptr); });
    CTirvel2View& view = host.View();
    row.port = PortLabel(view);
    const auto finish = [&](station::DeviceOutcome outcome) {
        console.ClearStatus();
        row.time = station::LocalTime();
        row.bytes = progress.DoneBytes();
        row.message = console.LastMessage();
        // A boot loader tells no IMEI.
        host.Recorder().KeepRow(row, std::string(), std::string(),
                                outcome == station::DeviceOutcome::Interrupted, console);
        return outcome;
    };
    host.ChooseFirmware(firmware);
    const std::size_t mark = host.MessageMark();
    observer.Step(station::DeviceStep::Waiting);
    host.Command(res::ID_UPDATE_FIRMWARE);
    if (host.State() != kStateAwaitingLoader) {
        // The view said why: the port, or an image it could not read.
        return finish(host.ShownSince(mark, res::IDS_OPEN_PORT_FAILED)
                          ? station::DeviceOutcome::PortFailed
                          : station::DeviceOutcome::JobFailed);
    }
    const long long limit = view.m_nLoaderLimitMs / 1000;
    console.Progress(res::IDS_CLI_LOADER_POWER_ON, {std::to_string(limit)});

    const auto start = Clock::now();
    bool loaderFound = false;
    Clock::time_point foundAt;
    for (;;) {
        if (host.Interrupted()) {
            return finish(station::DeviceOutcome::Interrupted);
        }
        if (host.State() == kStateIdle) {
            break;  // the transfer dialog has been and gone, or there was none
        }
        // A box cannot stay open on a console: once its text is out, the
        // operator's only way on is Stop.
        if (host.ShownSince(mark, res::IDS_LOADER_TIMEOUT)) {
            host.Stop();
            return finish(loaderFound ? station::DeviceOutcome::Done
                                      : station::DeviceOutcome::NoDevice);
        }
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start);
        if (view.m_nConnectState == kStateLoaderDialogue) {
            if (!loaderFound) {
                loaderFound = true;
                foundAt = Clock::now();
                observer.Step(station::DeviceStep::Connected);
                if (!observer.Claim()) {
                    host.Stop();
                    return finish(station::DeviceOutcome::Surplus);
                }
                host.Recorder().Start();
                console.Progress(res::IDS_CLI_LOADER_FOUND);
            }
            // The view waits in the dialogue for the operator's Stop; a script
            // has none. A loader that went quiet (unplugged, its prompt lost to
            // noise) has given up by itself after as long as the break-in may take.
            if (Clock::now() - foundAt > std::chrono::milliseconds(view.m_nLoaderLimitMs)) {
                console.Message(res::IDS_LOADER_TIMEOUT);
                host.Stop();
                return finish(station::DeviceOutcome::Done);
            }
        } else {
            const long long left = std::max<long long>(0, limit - seconds.count());
            console.Status(Console::Text(res::IDS_CLI_LOADER_COUNTDOWN, {std::to_string(left)}));
        }
        host.PumpOne(start + seconds + std::chrono::seconds(1));
    }
    // Only the loader's acknowledgement of the end counts: its box is the
    // success box.
    row.ok = host.TransferOutcome() == res::IDS_TRANSFER_SUCCEEDED;
    return finish(station::DeviceOutcome::Done);
}

int RunUpdate(ConsoleHost& host, Console& console, const std::string& firmware) {
    station::DeviceObserver nobody;
    station::DeviceRow row;
    return SingleDeviceExit(UpdateDevice(host, console, firmware, nobody, row), row);
}

station::DeviceOutcome SendToPort(ConsoleHost& host, Console& console, const HostSettings& settings,
                                  const std::string& image, station::DeviceObserver& observer,
                                  station::DeviceRow& row) {
    const std::string path = serial::PortPath(settings.comPort, settings.devicePath);
    row.port = PortLabel(host.View());
    const auto finish = [&](station::DeviceOutcome outcome) {
        row.time = station::LocalTime();
        row.message = console.LastMessage();
        host.Recorder().KeepRow(row, std::string(), std::string(),
                                outcome == station::DeviceOutcome::Interrupted, console);
        return outcome;
    };
    const PortHandle port = OpenComPort(path.c_str());
    if (port == INVALID_HANDLE_VALUE) {
        console.Message(res::IDS_OPEN_PORT_FAILED);
        ReportOpenFailure(console, path);
        return finish(station::DeviceOutcome::PortFailed);
    }
    // The update flow's line, and its one read of stale input before the sender.
    SetupComPortPolled(port, &kLoaderLine);
    char discard[256];
    ReadComPort(port, discard, sizeof discard);
    observer.Step(station::DeviceStep::Waiting);
    console.Progress(res::IDS_CLI_WAITING_START, {std::to_string(kStartSignalSeconds)});

    TransferProgress progress(console, console.ErrIsTerminal(), observer);
    // The port is the device: whatever answers there is worked from now on.
    host.Recorder().Start();
    TransferWorker transfer;
    transfer.Start(port, reinterpret_cast<const std::uint8_t*>(image.data()),
                   static_cast<std::int32_t>(image.size()));
    progress.Begin(transfer.Size());
    while (!transfer.Finished()) {
        if (host.InterruptRequested()) {
            transfer.RequestStop();  // the sender stops at its next check point
        }
        host.PumpOne(Clock::now() + std::chrono::milliseconds(50));
        progress.Update(transfer.PerMille());
    }
    const int result = transfer.Wait();
    progress.Update(transfer.PerMille());
    progress.Finish();
    CloseComPort(port);
    row.bytes = result >= 0 ? result : progress.DoneBytes();

    if (host.Interrupted()) {
        return finish(station::DeviceOutcome::Interrupted);
    }
    if (result < 0) {
        console.Message(res::IDS_TRANSFER_FAILED);
        console.Message(SendFailureReason(result));
        return finish(station::DeviceOutcome::Done);
    }
    row.ok = true;
    console.Message(res::IDS_CLI_SEND_SUCCEEDED, {std::to_string(result)});
    return finish(station::DeviceOutcome::Done);
}

int RunSend(ConsoleHost& host, Console& console, const HostSettings& settings,
            const std::string& image) {
    station::DeviceObserver nobody;
    station::DeviceRow row;
    return SingleDeviceExit(SendToPort(host, console, settings, image, nobody, row), row);
}

int RunLog(ConsoleHost& host, Console& console, const LogSettings& settings) {
    // The file is written as the log comes, so that a log of hours is never
    // held whole and a run that ends any way leaves it saved.
    LogFile file;
    const bool saving = !settings.outputPath.empty();
    if (saving) {
        if (!file.Open(settings.outputPath)) {
            console.Message(res::IDS_WRITE_FILE_FAILED, {settings.outputPath});
            return kExitFailed;
        }
        // The device's bytes raw on a terminal could steer it.
        if (file.GetKind() == LogFile::Kind::Terminal) {
            console.Message(res::IDS_CLI_LOG_OUTPUT_TERMINAL, {settings.outputPath});
            return kExitUsage;
        }
    }
    LogOutput output(console.Out(), settings.outIsTerminal, fw::CurrentLanguage(),
                     saving ? &file : nullptr);
    // The log goes to the follower only while the command runs.
    host.View().m_pLogFollower = &output;
    const OnExit detach([&host] { host.View().m_pLogFollower = nullptr; });
    host.Command(res::ID_SHOW_DEBUG_INFO);
    if (host.State() != kStateDebugLog) {
        return kExitFailed;  // the port did not open; the view said so
    }
    console.Progress(res::IDS_CLI_LOG_SHOWING);
    const auto end = settings.seconds > 0 ? Clock::now() + std::chrono::seconds(settings.seconds)
                                          : Clock::time_point::max();
    bool interrupted = false;
    while (Clock::now() < end) {
        if (host.Interrupted()) {
            interrupted = true;
            break;
        }
        host.PumpOne(std::min(end, Clock::now() + std::chrono::milliseconds(100)));
    }
    host.Stop();

    int code = kExitOk;
    if (saving && !file.Close()) {
        console.Message(res::IDS_WRITE_FILE_FAILED, {settings.outputPath});
        code = kExitFailed;
    }
    return interrupted ? kInterruptedExitCode : code;
}

}  // namespace cli
