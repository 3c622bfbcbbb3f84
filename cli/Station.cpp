#include "cli/Station.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

#include "cli/Commands.h"
#include "cli/DeviceReport.h"
#include "cli/PrivateCopy.h"
#include "cli/SignalWatcher.h"
#include "cli/StationBoard.h"
#include "cli/StationEvents.h"
#include "cli/Terminal.h"
#include "cli/TextOutput.h"
#include "cli/WorkerProcess.h"
#include "res/ResourceIds.h"

namespace cli {
namespace {

using Clock = std::chrono::steady_clock;

// How often the board is redrawn when nothing happens: the rates and the
// devices per hour move on by themselves.
constexpr auto kBoardPeriod = std::chrono::milliseconds(250);
// Workers that end without a device, one after another, before the port is
// given up: a worker that cannot even start must not be started for ever.
constexpr int kWorkerFailuresAllowed = 2;
// Waits for the next device that ended with none, one after another, before
// a port that has worked devices is given up (each wait is the view's own:
// about half a minute).
constexpr int kWaitsInVain = 2;

// What the reader threads hand the supervisor: a line of a worker, or its end.
struct Delivery {
    std::size_t station = 0;
    std::optional<std::string> line;
    std::optional<WorkerExit> exit;
    bool wake = false;  // a signal came; nothing else
};

class Deliveries {
public:
    void Push(Delivery delivery) {
        {
            const std::lock_guard lock(mutex_);
            queue_.push_back(std::move(delivery));
        }
        ready_.notify_one();
    }
    std::optional<Delivery> Pop(Clock::time_point deadline) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) {
            return std::nullopt;
        }
        Delivery delivery = std::move(queue_.front());
        queue_.pop_front();
        return delivery;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<Delivery> queue_;
};

struct Station {
    StationPort port;
    std::unique_ptr<WorkerProcess> worker;
    std::thread reader;
    // The current worker's device, as far as it has told.
    bool granted = false;
    bool ended = false;
    bool cancelled = false;
    DeviceStep step = DeviceStep::Waiting;
    int detail = 0;
    std::string imei;
    std::int64_t sent = 0;
    std::int64_t total = 0;
    Clock::time_point transferStart{};
    std::int64_t transferStartBytes = 0;
    int quartersTold = 0;
    std::string lastText;
    // The port over the run.
    int started = 0;
    int ok = 0;
    int failed = 0;
    int failuresInARow = 0;
    int waitsInVain = 0;  // one after another, since the last device
    bool outOfUse = false;
    std::string reason;
    std::string lastResult;
    std::string lastTold;

    ~Station() {
        if (worker) {
            worker->Kill();
        }
        if (reader.joinable()) {
            reader.join();
        }
    }
};

std::string ExitText(const WorkerExit& exit) {
    return exit.signalled ? Console::Text(res::IDS_STATION_SIGNAL, {std::to_string(exit.code)})
                          : Console::Text(res::IDS_STATION_EXIT_CODE, {std::to_string(exit.code)});
}

std::string KbPerSecond(std::int64_t bytes, double seconds) {
    if (seconds < 0.5 || bytes <= 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / seconds / 1024.0);
    return text;
}

class Supervisor {
public:
    Supervisor(const std::vector<StationPort>& ports, const StationSettings& settings,
               Console& console)
        : settings_(settings),
          console_(console),
          report_(settings.job == StationJob::Batch ? ReportKind::Batch : ReportKind::Transfer,
                  console, settings.json, settings.reportPath),
          board_(std::cerr,
                 !console.Quiet() && console.ErrIsTerminal() && EnableCursorControl(kStderrFd)),
          outShared_(IsTerminal(kStdoutFd)) {
        for (const StationPort& port : ports) {
            stations_.push_back(std::make_unique<Station>());
            stations_.back()->port = port;
        }
        // A send is one transfer per port; an update, one device per port
        // unless told otherwise.
        count_ = settings.job == StationJob::Send     ? static_cast<int>(ports.size())
                 : settings.count > 0                 ? settings.count
                 : settings.job == StationJob::Update ? static_cast<int>(ports.size())
                                                      : 0;
        onePerPort_ = settings.job == StationJob::Send ||
                      (settings.job == StationJob::Update && settings.count == 0);
        if (board_.Redraws() && outShared_) {
            report_.SetPrinter([this](const std::string& line) {
                board_.Around([&] { std::cout << line << '\n' << std::flush; });
            });
        }
    }

    int Run() {
        if (!report_.Open()) {
            console_.Message(res::IDS_CLI_REPORT_FAILED, {settings_.reportPath});
            return kExitFailed;
        }
        SignalWatcher watcher(
            [this](int) {
                ++signals_;
                deliveries_.Push(Delivery{0, std::nullopt, std::nullopt, true});
            },
            SecondSignal::Told);
        // Made once Ctrl+C is only told, so that it is removed however the
        // run ends; its folder lives until the last worker has ended.
        try {
            copy_ = std::make_unique<PrivateCopy>(settings_.bytes);
        } catch (const std::exception& e) {
            console_.Message(res::IDS_STATION_COPY_FAILED, {settings_.file, e.what()});
            return kExitFailed;
        }
        start_ = Clock::now();
        for (;;) {
            React();
            LaunchWhereWanted();
            if (Running() == 0) {
                break;
            }
            Redraw();
            if (auto delivery = deliveries_.Pop(Clock::now() + kBoardPeriod)) {
                Handle(*delivery);
            }
        }
        Redraw();
        board_.Leave();
        return Finish();
    }

private:
    int Running() const {
        int running = 0;
        for (const auto& station : stations_) {
            running += station->worker ? 1 : 0;
        }
        return running;
    }

    bool EnoughDevices() const { return count_ > 0 && done_ + granted_ >= count_; }

    bool Wanted(const Station& station) const {
        if (stopping_ || station.outOfUse || station.worker || EnoughDevices()) {
            return false;
        }
        // One device on each port: a port out of use leaves its share undone
        // rather than handing it to the next port.
        return !onePerPort_ || station.ok + station.failed == 0;
    }

    // Ctrl+C once: no new devices; twice: the devices in flight are cancelled.
    void React() {
        const int signals = signals_.load();
        if (signals >= 1 && !stopping_) {
            stopping_ = true;
            interrupted_ = true;
            Say(Console::Text(res::IDS_STATION_FINISHING));
        }
        if (signals >= 2 && !cancelling_) {
            cancelling_ = true;
            Say(Console::Text(res::IDS_STATION_CANCELLING));
        }
        for (auto& station : stations_) {
            const bool unwanted = stopping_ || EnoughDevices();
            if (station->worker && !station->cancelled && !station->ended &&
                (cancelling_ || (unwanted && !station->granted))) {
                station->cancelled = true;
                station->worker->Cancel();
            }
        }
    }

    void LaunchWhereWanted() {
        for (std::size_t i = 0; i < stations_.size(); ++i) {
            Station& station = *stations_[i];
            if (!Wanted(station)) {
                continue;
            }
            station.granted = station.ended = station.cancelled = false;
            station.step = DeviceStep::Waiting;
            station.imei.clear();
            station.sent = station.total = 0;
            station.quartersTold = 0;
            station.lastText.clear();
            try {
                station.worker = std::make_unique<WorkerProcess>(
                    settings_.program, WorkerArguments(station.port, settings_, copy_->Path()));
            } catch (const std::exception& e) {
                PutOutOfUse(station, Console::Text(res::IDS_STATION_CANNOT_START,
                                                   {station.port.Label(), e.what()}));
                continue;
            }
            ++station.started;
            if (settings_.job == StationJob::Send) {
                // A send has no device to wait for: its port is its device,
                // and a worker dying under it is that send's failure.
                station.granted = true;
                ++granted_;
            }
            station.worker->Write(EncodePasswordLine(settings_.password) + "\n");
            WorkerProcess* worker = station.worker.get();
            station.reader = std::thread([this, i, worker] {
                while (auto line = worker->ReadLine()) {
                    deliveries_.Push(Delivery{i, std::move(line), std::nullopt, false});
                }
                deliveries_.Push(Delivery{i, std::nullopt, worker->Wait(), false});
            });
            Tell(station, StepText(station));
        }
    }

    void Handle(const Delivery& delivery) {
        if (delivery.wake) {
            return;
        }
        Station& station = *stations_[delivery.station];
        if (delivery.exit) {
            Ended(station, *delivery.exit);
            return;
        }
        std::optional<StationEvent> event = DecodeEvent(*delivery.line);
        if (!event) {
            // Not an event: what a failing worker printed (a crash, an
            // exception); kept as the reason should it die of it.
            if (!delivery.line->empty()) {
                station.lastText = OperatorsName(*delivery.line);
            }
            return;
        }
        event->text = OperatorsName(std::move(event->text));
        if (event->row) {
            event->row->message = OperatorsName(std::move(event->row->message));
        }
        switch (event->kind) {
            case StationEvent::Kind::Step:
                station.step = event->step;
                station.detail = event->detail;
                Tell(station, StepText(station));
                break;
            case StationEvent::Kind::Identity:
                station.imei = event->imei;
                Tell(station,
                     Console::Text(res::IDS_STATION_DEVICE, {event->imei, event->version}));
                break;
            case StationEvent::Kind::Claim: {
                const bool grant = !stopping_ && !EnoughDevices();
                if (grant) {
                    station.granted = true;
                    ++granted_;
                }
                station.worker->Write(std::string(grant ? kClaimGranted : kClaimRefused) + "\n");
                break;
            }
            case StationEvent::Kind::Transfer:
                Transferred(station, event->done, event->total);
                break;
            case StationEvent::Kind::Message:
                station.lastText = event->text;
                break;
            case StationEvent::Kind::End:
                station.ended = true;
                Outcome(station, *event);
                break;
        }
    }

    void Transferred(Station& station, std::int64_t done, std::int64_t total) {
        if (station.step != DeviceStep::Sending) {
            station.step = DeviceStep::Sending;
            station.transferStart = Clock::now();
            station.transferStartBytes = done;
            station.quartersTold = 0;
            Tell(station, StepText(station));
        }
        station.sent = done;
        station.total = total;
        // Plain lines at each quarter, as a single transfer prints them.
        const int quarters = total > 0 ? static_cast<int>(done * 4 / total) : 0;
        if (!board_.Redraws() && quarters > station.quartersTold && quarters < 4) {
            station.quartersTold = quarters;
            Tell(station, StepText(station));
        }
    }

    void Outcome(Station& station, const StationEvent& event) {
        switch (event.outcome) {
            case DeviceOutcome::Done:
                if (event.row) {
                    Record(station, *event.row);
                }
                break;
            case DeviceOutcome::NoDevice:
                // A port that never saw a device is taken to have none; one
                // that has worked devices waits again, the operator may be
                // changing them, but not for ever: a count the other ports
                // cannot reach would hold the run.
                if (station.ok + station.failed == 0 || ++station.waitsInVain >= kWaitsInVain) {
                    PutOutOfUse(station,
                                Console::Text(res::IDS_STATION_NO_DEVICE, {station.port.Label()}));
                }
                break;
            case DeviceOutcome::PortFailed:
                PutOutOfUse(station, station.lastText);
                break;
            case DeviceOutcome::JobFailed:
                jobFailed_ = true;
                stopping_ = true;
                Say(Console::Text(res::IDS_STATION_PORT_LINE,
                                  {station.port.Label(), station.lastText}));
                break;
            case DeviceOutcome::Surplus:
            case DeviceOutcome::Interrupted:
                break;
        }
    }

    void Record(Station& station, DeviceRow row) {
        if (row.port.empty()) {
            row.port = station.port.Label();
        }
        ++done_;
        if (station.granted) {
            station.granted = false;
            --granted_;
        }
        station.failuresInARow = 0;
        station.waitsInVain = 0;
        if (row.ok) {
            ++station.ok;
            station.lastResult = Console::Text(res::IDS_STATION_OK);
        } else {
            ++station.failed;
            ++failures_;
            station.lastResult = Console::Text(res::IDS_STATION_FAILED, {row.message});
        }
        Tell(station, station.lastResult);
        if (!report_.Add(row) && !reportFailed_) {
            reportFailed_ = true;
            Say(Console::Text(res::IDS_CLI_REPORT_FAILED, {settings_.reportPath}));
        }
    }

    void Ended(Station& station, const WorkerExit& exit) {
        station.reader.join();
        station.worker.reset();
        if (!station.ended) {
            const std::string died = Console::Text(res::IDS_STATION_WORKER_DIED, {ExitText(exit)});
            if (station.granted) {
                // The device it held is a failed device, whatever it got to.
                DeviceRow row;
                row.port = station.port.Label();
                row.time = LocalTime();
                row.imei = station.imei;
                row.bytes = station.sent;
                row.message = station.lastText.empty() ? died : died + " " + station.lastText;
                Record(station, row);
            } else if (!station.cancelled && ++station.failuresInARow >= kWorkerFailuresAllowed) {
                PutOutOfUse(station, Console::Text(res::IDS_STATION_WORKER_FAILED_AGAIN,
                                                   {station.port.Label()}) +
                                         " " + died);
            }
        }
        if (station.granted) {
            station.granted = false;
            --granted_;
        }
    }

    void PutOutOfUse(Station& station, const std::string& reason) {
        station.outOfUse = true;
        station.reason = reason;
        Say(Console::Text(
            res::IDS_STATION_PORT_LINE,
            {station.port.Label(), Console::Text(res::IDS_STATION_OUT_OF_USE, {reason})}));
    }

    std::string StepText(const Station& station) const {
        switch (station.step) {
            case DeviceStep::Waiting:
                return Console::Text(
                    settings_.job == StationJob::Update ? res::IDS_STATION_WAITING_LOADER
                    : settings_.job == StationJob::Send ? res::IDS_STATION_WAITING_START
                                                        : res::IDS_STATION_WAITING);
            case DeviceStep::Connected:
                return Console::Text(settings_.job == StationJob::Update
                                         ? res::IDS_STATION_LOADER_FOUND
                                         : res::IDS_STATION_CONNECTED);
            case DeviceStep::Writing:
                return Console::Text(res::IDS_STATION_WRITING, {std::to_string(station.detail)});
            case DeviceStep::Checking:
                return Console::Text(res::IDS_STATION_CHECKING);
            case DeviceStep::Sending: {
                const std::chrono::duration<double> elapsed = Clock::now() - station.transferStart;
                const std::int64_t percent =
                    station.total > 0 ? station.sent * 100 / station.total : 0;
                return Console::Text(
                    res::IDS_STATION_SENDING,
                    {std::to_string(percent),
                     KbPerSecond(station.sent - station.transferStartBytes, elapsed.count())});
            }
        }
        return std::string();
    }

    std::string BoardState(const Station& station) const {
        if (station.outOfUse) {
            return Console::Text(res::IDS_STATION_OUT_OF_USE, {station.reason});
        }
        if (station.worker) {
            if (station.cancelled) {
                return Console::Text(res::IDS_STATION_CANCELLED);
            }
            return station.ended ? station.lastResult : StepText(station);
        }
        return station.lastResult.empty() ? Console::Text(res::IDS_STATION_FINISHED)
                                          : station.lastResult;
    }

    void Redraw() {
        if (!board_.Redraws()) {
            return;
        }
        std::vector<BoardLine> lines;
        for (const auto& station : stations_) {
            lines.push_back(BoardLine{station->port.Label(), BoardState(*station), station->imei,
                                      station->ok, station->failed});
        }
        const std::chrono::duration<double> elapsed = Clock::now() - start_;
        board_.Show(FormatBoard(lines, FormatTotals(done_, count_, failures_, elapsed.count()),
                                TerminalColumns(kStderrFd)));
    }

    // Plain lines, one per event, where there is no board to show it.
    void Tell(Station& station, const std::string& what) {
        if (board_.Redraws() || console_.Quiet() || what == station.lastTold) {
            return;
        }
        station.lastTold = what;
        std::cerr << PrintableLines(
                         Console::Text(res::IDS_STATION_PORT_LINE, {station.port.Label(), what}))
                  << '\n'
                  << std::flush;
    }

    void Say(const std::string& line) { board_.Line(line); }

    // The workers know the file only as its copy; the operator knows it by
    // the name they gave.
    std::string OperatorsName(std::string text) const {
        if (!copy_) {
            return text;
        }
        const std::string& copy = copy_->Path();
        for (std::size_t at = text.find(copy); at != std::string::npos;
             at = text.find(copy, at + settings_.file.size())) {
            text.replace(at, copy.size(), settings_.file);
        }
        return text;
    }

    int Finish() {
        int outOfUse = 0;
        for (const auto& station : stations_) {
            outOfUse += station->outOfUse ? 1 : 0;
        }
        console_.Progress(outOfUse > 0 ? res::IDS_STATION_SUMMARY : res::IDS_CLI_BATCH_SUMMARY,
                          {std::to_string(done_), std::to_string(done_ - failures_),
                           std::to_string(failures_), std::to_string(outOfUse)});
        if (interrupted_) {
            return kInterruptedExitCode;
        }
        const bool short_ = count_ > 0 && done_ < count_;
        return failures_ == 0 && outOfUse == 0 && !jobFailed_ && !reportFailed_ && !short_
                   ? kExitOk
                   : kExitFailed;
    }

    const StationSettings& settings_;
    Console& console_;
    DeviceReport report_;
    BoardOutput board_;
    bool outShared_;
    // Before the stations: their workers are ended before it goes.
    std::unique_ptr<PrivateCopy> copy_;
    std::vector<std::unique_ptr<Station>> stations_;
    Deliveries deliveries_;
    std::atomic<int> signals_{0};
    Clock::time_point start_;
    int count_ = 0;
    bool onePerPort_ = false;
    int done_ = 0;
    int granted_ = 0;
    int failures_ = 0;
    bool stopping_ = false;
    bool cancelling_ = false;
    bool interrupted_ = false;
    bool jobFailed_ = false;
    bool reportFailed_ = false;
};

}  // namespace

std::vector<std::string> WorkerArguments(const StationPort& port, const StationSettings& settings,
                                         const std::string& file) {
    std::vector<std::string> args{"--lang", settings.language, "--station-worker"};
    if (port.comPort > 0) {
        args.insert(args.end(), {"-p", std::to_string(port.comPort)});
    } else {
        args.insert(args.end(), {"--device", port.devicePath});
    }
    // "--": a file named like an option is still the file.
    args.insert(args.end(), {JobCommand(settings.job), "--", file});
    return args;
}

int RunStation(const std::vector<StationPort>& ports, const StationSettings& settings,
               Console& console) {
    Supervisor supervisor(ports, settings, console);
    return supervisor.Run();
}

}  // namespace cli
