#include "cli/Station.h"

#include <atomic>
#include <iostream>

#include "cli/Commands.h"
#include "cli/ReportLines.h"
#include "cli/SignalWatcher.h"
#include "cli/StationBoard.h"
#include "cli/Terminal.h"
#include "common/TextOutput.h"
#include "job/DeviceReport.h"
#include "res/ResourceIds.h"

namespace cli {
namespace {

class TerminalFace : public station::StationListener {
public:
    TerminalFace(const std::vector<station::StationPort>& ports, const StationSettings& settings,
                 Console& console, job::RecordsForwarding& forwarding,
                 job::LinePublisher& publisher)
        : ports_(ports),
          settings_(settings),
          forwarding_(forwarding),
          publisher_(publisher),
          console_(console),
          report_(settings.job == station::StationJob::Batch ? job::ReportKind::Batch
                                                             : job::ReportKind::Transfer,
                  settings.reportPath),
          board_(std::cerr,
                 !console.Quiet() && console.ErrIsTerminal() && EnableCursorControl(kStderrFd)) {
        // Stdout on the terminal the board redraws: each line goes between redraws.
        const bool aroundBoard = board_.Redraws() && IsTerminal(kStdoutFd);
        PrintReportLines(report_, settings.json, [this, aroundBoard](const std::string& line) {
            if (aroundBoard) {
                board_.Around([&] { console_.Out() << line << '\n' << std::flush; });
            } else {
                console_.Out() << line << '\n' << std::flush;
            }
        });
    }

    bool OpenReport() { return report_.Open(); }
    void Leave() { board_.Leave(); }

    void Changed(const station::StationSnapshot& snapshot) override {
        publisher_.Publish(snapshot);
        if (!board_.Redraws()) {
            return;
        }
        std::vector<BoardLine> lines;
        for (const station::PortState& port : snapshot.ports) {
            lines.push_back(
                BoardLine{port.label, port.state, port.imei, port.ok, port.failed, port.values});
        }
        board_.Show(FormatBoard(
            lines, FormatTotals(snapshot.done, snapshot.count, snapshot.failed, snapshot.seconds),
            TerminalColumns(kStderrFd)));
    }

    // Plain lines, one per event, where there is no board to show it.
    void PortTold(std::size_t port, const std::string& text) override {
        if (board_.Redraws() || console_.Quiet()) {
            return;
        }
        std::cerr << common::PrintableLines(
                         Console::Text(res::IDS_STATION_PORT_LINE, {LabelOf(port), text}))
                  << '\n'
                  << std::flush;
    }

    void Said(const std::string& line) override { board_.Line(line); }

    bool Recorded(const station::DeviceRow& row) override {
        forwarding_.Wake();
        if (report_.Add(row)) {
            return true;
        }
        if (!reportFailed_) {
            reportFailed_ = true;
            Said(Console::Text(res::IDS_CLI_REPORT_FAILED, {settings_.reportPath}));
        }
        return false;
    }

private:
    std::string LabelOf(std::size_t port) const {
        return port < ports_.size() ? ports_[port].Label() : std::string();
    }

    const std::vector<station::StationPort>& ports_;
    const StationSettings& settings_;
    job::RecordsForwarding& forwarding_;
    job::LinePublisher& publisher_;
    Console& console_;
    job::DeviceReport report_;
    BoardOutput board_;
    bool reportFailed_ = false;
};

}  // namespace

int RunStation(const std::vector<station::StationPort>& ports, const StationSettings& settings,
               Console& console, job::RecordsForwarding& forwarding,
               job::LinePublisher& publisher) {
    TerminalFace face(ports, settings, console, forwarding, publisher);
    if (!face.OpenReport()) {
        console.Message(res::IDS_CLI_REPORT_FAILED, {settings.reportPath});
        return kExitFailed;
    }
    station::Supervisor supervisor(ports, settings, face);
    // Ctrl+C once: no new devices; twice: the devices in flight are cancelled.
    std::atomic<int> signals{0};
    SignalWatcher watcher(
        [&](int) {
            if (++signals == 1) {
                supervisor.Finish();
            } else {
                supervisor.Abort();
            }
        },
        SecondSignal::Told);
    const std::optional<station::StationResult> result = supervisor.Run();
    publisher.End();
    if (!result) {
        console.Message(supervisor.Failure());
        return kExitFailed;
    }
    face.Leave();
    console.Progress(result->outOfUse > 0 ? res::IDS_STATION_SUMMARY : res::IDS_CLI_BATCH_SUMMARY,
                     {std::to_string(result->done), std::to_string(result->done - result->failed),
                      std::to_string(result->failed), std::to_string(result->outOfUse)});
    if (result->interrupted) {
        return kInterruptedExitCode;
    }
    return result->Clean() ? kExitOk : kExitFailed;
}

}  // namespace cli
