#include "station/Supervisor.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

#include "framework/StringTable.h"
#include "res/ResourceIds.h"
#include "station/DeviceProgress.h"
#include "station/PrivateCopy.h"
#include "station/StationEvents.h"
#include "station/WorkerProcess.h"

namespace station {
namespace {

using Clock = std::chrono::steady_clock;

// How often the listener hears when nothing happens: the rates and the
// devices per hour move on by themselves.
constexpr auto kRefreshPeriod = std::chrono::milliseconds(250);
// Workers that end without a device, one after another, before the port is
// given up: a worker that cannot even start must not be started for ever.
constexpr int kWorkerFailuresAllowed = 2;
// Waits for the next device that ended with none, one after another, before
// a port that has worked devices is given up (each wait is the view's own:
// about half a minute).
constexpr int kWaitsInVain = 2;

// What the reader threads hand the supervisor: a line of a worker, or its end.
struct Delivery {
    std::size_t port = 0;
    std::optional<std::string> line;
    std::optional<WorkerExit> exit;
    bool wake = false;  // Finish or Abort came; nothing else
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

struct Port {
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
    std::string history;
    std::string values;
    std::int64_t sent = 0;
    std::int64_t total = 0;
    Clock::time_point transferStart{};
    std::int64_t transferStartBytes = 0;
    int quartersTold = 0;
    std::string lastText;
    // The port over the run.
    int ok = 0;
    int failed = 0;
    int failuresInARow = 0;
    int waitsInVain = 0;  // one after another, since the last device
    // A device has been granted here: one the worker found real (an IMEI the
    // batch takes, a boot loader). Until then a try that fails is the port's
    // failure, and puts it out of use without a row or a place in the count.
    bool proven = false;
    bool outOfUse = false;
    std::string reason;
    std::string lastResult;
    bool lastOk = false;
    std::string lastTold;

    ~Port() {
        if (worker) {
            worker->Kill();
        }
        if (reader.joinable()) {
            reader.join();
        }
    }
};

std::string ExitText(const WorkerExit& exit) {
    return exit.signalled ? fw::LoadText(res::IDS_STATION_SIGNAL, {std::to_string(exit.code)})
                          : fw::LoadText(res::IDS_STATION_EXIT_CODE, {std::to_string(exit.code)});
}

std::string KbPerSecond(std::int64_t bytes, double seconds) {
    if (seconds < 0.5 || bytes <= 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / seconds / 1024.0);
    return text;
}

// How far a device has come, for a progress bar: the transfer by its bytes,
// a configuration by its steps.
int Permille(const Port& port) {
    switch (port.step) {
        case DeviceStep::Waiting:
            return 0;
        case DeviceStep::Connected:
            return 250;
        case DeviceStep::Writing:
            return 500;
        case DeviceStep::Checking:
            return 750;
        case DeviceStep::Sending:
            return port.total > 0 ? static_cast<int>(port.sent * 1000 / port.total) : 0;
    }
    return 0;
}

}  // namespace

class Supervisor::Engine {
public:
    Engine(std::vector<StationPort> ports, SupervisorSettings settings, StationListener& listener)
        : settings_(std::move(settings)), listener_(listener) {
        for (StationPort& port : ports) {
            ports_.push_back(std::make_unique<Port>());
            ports_.back()->port = std::move(port);
        }
        const int portCount = static_cast<int>(ports_.size());
        // A station's workers share the block of pool rows it keeps for a
        // server that goes away: a row for each port, whichever worker asks.
        if (!settings_.pool.empty()) {
            settings_.workerOptions.insert(settings_.workerOptions.end(),
                                           {kStationPortsOption, std::to_string(portCount)});
        }
        // A send is one transfer per port; an update, one device per port
        // unless told otherwise.
        count_ = settings_.job == StationJob::Send     ? portCount
                 : settings_.count > 0                 ? settings_.count
                 : settings_.job == StationJob::Update ? portCount
                                                       : 0;
        onePerPort_ = settings_.job == StationJob::Send ||
                      (settings_.job == StationJob::Update && settings_.count == 0);
    }

    std::optional<StationResult> Run() {
        try {
            copy_ = std::make_unique<PrivateCopy>(settings_.bytes);
        } catch (const std::exception& e) {
            failure_ = fw::LoadText(res::IDS_STATION_COPY_FAILED, {settings_.file, e.what()});
            return std::nullopt;
        }
        try {
            if (!settings_.valuesFile.empty()) {
                valuesCopy_ = std::make_unique<PrivateCopy>(settings_.valuesBytes);
            }
        } catch (const std::exception& e) {
            failure_ = fw::LoadText(res::IDS_STATION_COPY_FAILED, {settings_.valuesFile, e.what()});
            return std::nullopt;
        }
        start_ = Clock::now();
        for (;;) {
            React();
            LaunchWhereWanted();
            if (Running() == 0) {
                break;
            }
            listener_.Changed(Snapshot());
            if (auto delivery = deliveries_.Pop(Clock::now() + kRefreshPeriod)) {
                Handle(*delivery);
            }
        }
        listener_.Changed(Snapshot());
        return Result();
    }

    void Finish() {
        finishAsked_ = true;
        deliveries_.Push(Delivery{0, std::nullopt, std::nullopt, true});
    }

    void Abort() {
        abortAsked_ = true;
        deliveries_.Push(Delivery{0, std::nullopt, std::nullopt, true});
    }

    const std::string& Failure() const { return failure_; }

private:
    int Running() const {
        return static_cast<int>(std::count_if(ports_.begin(), ports_.end(), [](const auto& port) {
            return port->worker != nullptr;
        }));
    }

    bool EnoughDevices() const { return count_ > 0 && result_.done + granted_ >= count_; }

    bool Wanted(const Port& port) const {
        if (stopping_ || port.outOfUse || port.worker || EnoughDevices()) {
            return false;
        }
        // One device on each port: a port out of use leaves its share undone
        // rather than handing it to the next port.
        return !onePerPort_ || port.ok + port.failed == 0;
    }

    // Finish: no new devices; Abort: the devices in flight are cancelled.
    void React() {
        if ((finishAsked_ || abortAsked_) && !stopping_) {
            stopping_ = true;
            result_.interrupted = true;
            listener_.Said(fw::LoadText(res::IDS_STATION_FINISHING));
        }
        if (abortAsked_ && !cancelling_) {
            cancelling_ = true;
            listener_.Said(fw::LoadText(res::IDS_STATION_CANCELLING));
        }
        for (auto& port : ports_) {
            const bool unwanted = stopping_ || EnoughDevices();
            if (port->worker && !port->cancelled && !port->ended &&
                (cancelling_ || (unwanted && !port->granted))) {
                port->cancelled = true;
                port->worker->Cancel();
            }
        }
    }

    void LaunchWhereWanted() {
        for (std::size_t i = 0; i < ports_.size(); ++i) {
            Port& port = *ports_[i];
            if (!Wanted(port)) {
                continue;
            }
            port.granted = port.ended = port.cancelled = false;
            port.step = DeviceStep::Waiting;
            port.imei.clear();
            port.history.clear();
            port.values.clear();
            port.sent = port.total = 0;
            port.quartersTold = 0;
            port.lastText.clear();
            try {
                port.worker = std::make_unique<WorkerProcess>(
                    settings_.program,
                    Supervisor::WorkerArguments(port.port, settings_, copy_->Path(), port.proven,
                                                valuesCopy_ ? valuesCopy_->Path() : std::string()));
            } catch (const std::exception& e) {
                PutOutOfUse(
                    i, fw::LoadText(res::IDS_STATION_CANNOT_START, {port.port.Label(), e.what()}));
                continue;
            }
            if (settings_.job == StationJob::Send) {
                // A send has no device to wait for: its port is its device,
                // and a worker dying under it is that send's failure.
                port.granted = true;
                ++granted_;
            }
            port.worker->Write(EncodePasswordLine(settings_.password) + "\n");
            WorkerProcess* worker = port.worker.get();
            port.reader = std::thread([this, i, worker] {
                while (auto line = worker->ReadLine()) {
                    deliveries_.Push(Delivery{i, std::move(line), std::nullopt, false});
                }
                deliveries_.Push(Delivery{i, std::nullopt, worker->Wait(), false});
            });
            Tell(i, StepText(port));
        }
    }

    void Handle(const Delivery& delivery) {
        if (delivery.wake) {
            return;
        }
        Port& port = *ports_[delivery.port];
        if (delivery.exit) {
            Ended(delivery.port, *delivery.exit);
            return;
        }
        std::optional<StationEvent> event = DecodeEvent(*delivery.line);
        if (!event) {
            // Not an event: what a failing worker printed (a crash, an
            // exception); kept as the reason should it die of it.
            if (!delivery.line->empty()) {
                port.lastText = OperatorsName(*delivery.line);
            }
            return;
        }
        event->text = OperatorsName(std::move(event->text));
        if (event->row) {
            event->row->message = OperatorsName(std::move(event->row->message));
        }
        switch (event->kind) {
            case StationEvent::Kind::Step:
                port.step = event->step;
                port.detail = event->detail;
                Tell(delivery.port, StepText(port));
                break;
            case StationEvent::Kind::Identity:
                port.imei = event->imei;
                port.history = settings_.history ? settings_.history(port.imei) : std::string();
                Tell(delivery.port,
                     fw::LoadText(res::IDS_STATION_DEVICE, {event->imei, event->version}));
                break;
            case StationEvent::Kind::Claim: {
                const bool grant = !stopping_ && !EnoughDevices();
                if (grant) {
                    port.granted = true;
                    port.proven = true;
                    ++granted_;
                }
                port.worker->Write(std::string(grant ? kClaimGranted : kClaimRefused) + "\n");
                break;
            }
            case StationEvent::Kind::Transfer:
                Transferred(delivery.port, event->done, event->total);
                break;
            case StationEvent::Kind::Message:
                port.lastText = event->text;
                break;
            case StationEvent::Kind::Values:
                port.values = std::move(event->source);
                break;
            case StationEvent::Kind::End:
                port.ended = true;
                Outcome(delivery.port, *event);
                break;
        }
    }

    void Transferred(std::size_t index, std::int64_t done, std::int64_t total) {
        Port& port = *ports_[index];
        if (port.step != DeviceStep::Sending) {
            port.step = DeviceStep::Sending;
            port.transferStart = Clock::now();
            port.transferStartBytes = done;
            port.quartersTold = 0;
            Tell(index, StepText(port));
        }
        port.sent = done;
        port.total = total;
        // Told at each quarter, as a single transfer prints them.
        const int quarters = total > 0 ? static_cast<int>(done * 4 / total) : 0;
        if (quarters > port.quartersTold && quarters < 4) {
            port.quartersTold = quarters;
            Tell(index, StepText(port));
        }
    }

    void Outcome(std::size_t index, const StationEvent& event) {
        Port& port = *ports_[index];
        switch (event.outcome) {
            case DeviceOutcome::Done:
                if (event.row) {
                    Record(index, *event.row);
                }
                break;
            case DeviceOutcome::NoDevice:
                // A port that never saw a device is taken to have none; one
                // that has worked devices waits again, the operator may be
                // changing them, but not for ever: a count the other ports
                // cannot reach would hold the run.
                if (port.ok + port.failed == 0 || ++port.waitsInVain >= kWaitsInVain) {
                    PutOutOfUse(index,
                                fw::LoadText(res::IDS_STATION_NO_DEVICE, {port.port.Label()}));
                }
                break;
            case DeviceOutcome::PortFailed:
                PutOutOfUse(index, port.lastText);
                break;
            case DeviceOutcome::JobFailed:
                result_.jobFailed = true;
                stopping_ = true;
                listener_.Said(
                    fw::LoadText(res::IDS_STATION_PORT_LINE, {port.port.Label(), port.lastText}));
                break;
            case DeviceOutcome::Surplus:
            case DeviceOutcome::Interrupted:
                break;
        }
    }

    void Record(std::size_t index, DeviceRow row) {
        Port& port = *ports_[index];
        if (row.port.empty()) {
            row.port = port.port.Label();
        }
        ++result_.done;
        Ungrant(port);
        port.failuresInARow = 0;
        port.waitsInVain = 0;
        port.lastOk = row.ok;
        if (row.ok) {
            ++port.ok;
            port.lastResult = fw::LoadText(res::IDS_STATION_OK);
        } else {
            ++port.failed;
            ++result_.failed;
            port.lastResult = fw::LoadText(res::IDS_STATION_FAILED, {row.message});
        }
        Tell(index, port.lastResult);
        if (!listener_.Recorded(row)) {
            result_.reportFailed = true;
        }
    }

    void Ended(std::size_t index, const WorkerExit& exit) {
        Port& port = *ports_[index];
        port.reader.join();
        port.worker.reset();
        if (!port.ended) {
            const std::string died = fw::LoadText(res::IDS_STATION_WORKER_DIED, {ExitText(exit)});
            if (port.granted) {
                // The device it held is a failed device, whatever it got to.
                DeviceRow row;
                row.port = port.port.Label();
                row.time = LocalTime();
                row.imei = port.imei;
                row.bytes = port.sent;
                row.message = port.lastText.empty() ? died : died + " " + port.lastText;
                Record(index, row);
            } else if (!port.cancelled && ++port.failuresInARow >= kWorkerFailuresAllowed) {
                PutOutOfUse(
                    index, fw::LoadText(res::IDS_STATION_WORKER_FAILED_AGAIN, {port.port.Label()}) +
                               " " + died);
            }
        }
        Ungrant(port);
    }

    // The port's device no longer counts as one in flight.
    void Ungrant(Port& port) {
        if (port.granted) {
            port.granted = false;
            --granted_;
        }
    }

    void PutOutOfUse(std::size_t index, const std::string& reason) {
        Port& port = *ports_[index];
        port.outOfUse = true;
        port.reason = reason;
        listener_.Said(
            fw::LoadText(res::IDS_STATION_PORT_LINE,
                         {port.port.Label(), fw::LoadText(res::IDS_STATION_OUT_OF_USE, {reason})}));
    }

    std::string StepText(const Port& port) const {
        switch (port.step) {
            case DeviceStep::Waiting:
                return fw::LoadText(
                    settings_.job == StationJob::Update ? res::IDS_STATION_WAITING_LOADER
                    : settings_.job == StationJob::Send ? res::IDS_STATION_WAITING_START
                                                        : res::IDS_STATION_WAITING);
            case DeviceStep::Connected:
                return fw::LoadText(settings_.job == StationJob::Update
                                        ? res::IDS_STATION_LOADER_FOUND
                                        : res::IDS_STATION_CONNECTED);
            case DeviceStep::Writing:
                return fw::LoadText(res::IDS_STATION_WRITING, {std::to_string(port.detail)});
            case DeviceStep::Checking:
                return fw::LoadText(res::IDS_STATION_CHECKING);
            case DeviceStep::Sending: {
                const std::chrono::duration<double> elapsed = Clock::now() - port.transferStart;
                const std::int64_t percent = port.total > 0 ? port.sent * 100 / port.total : 0;
                return fw::LoadText(
                    res::IDS_STATION_SENDING,
                    {std::to_string(percent),
                     KbPerSecond(port.sent - port.transferStartBytes, elapsed.count())});
            }
        }
        return std::string();
    }

    PortState StateOf(const Port& port) const {
        PortState state;
        state.label = port.port.Label();
        state.imei = port.imei;
        state.history = port.history;
        state.values = port.values;
        state.ok = port.ok;
        state.failed = port.failed;
        state.lastVerdict = port.lastResult;
        state.lastOk = port.lastOk;
        if (port.outOfUse) {
            state.phase = PortPhase::OutOfUse;
            state.state = fw::LoadText(res::IDS_STATION_OUT_OF_USE, {port.reason});
        } else if (port.worker && port.cancelled) {
            state.phase = PortPhase::Cancelled;
            state.state = fw::LoadText(res::IDS_STATION_CANCELLED);
        } else if (port.worker && !port.ended) {
            state.phase = PortPhase::Working;
            state.state = StepText(port);
            state.permille = Permille(port);
        } else if (!port.lastResult.empty()) {
            state.phase = port.lastOk ? PortPhase::Ok : PortPhase::Failed;
            state.state = port.lastResult;
            state.permille = port.lastOk ? 1000 : 0;
        } else {
            state.phase = port.worker ? PortPhase::Working : PortPhase::Finished;
            state.state = port.worker ? StepText(port) : fw::LoadText(res::IDS_STATION_FINISHED);
        }
        return state;
    }

    StationSnapshot Snapshot() const {
        StationSnapshot snapshot;
        for (const auto& port : ports_) {
            snapshot.ports.push_back(StateOf(*port));
        }
        snapshot.done = result_.done;
        snapshot.count = count_;
        snapshot.failed = result_.failed;
        snapshot.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        snapshot.finishing = stopping_;
        snapshot.aborting = cancelling_;
        return snapshot;
    }

    // Once per change of what the port is doing.
    void Tell(std::size_t index, const std::string& what) {
        Port& port = *ports_[index];
        if (what == port.lastTold) {
            return;
        }
        port.lastTold = what;
        listener_.PortTold(index, what);
    }

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

    StationResult Result() const {
        StationResult result = result_;
        result.outOfUse = static_cast<int>(std::count_if(
            ports_.begin(), ports_.end(), [](const auto& port) { return port->outOfUse; }));
        result.shortOfCount = count_ > 0 && result_.done < count_;
        return result;
    }

    SupervisorSettings settings_;
    StationListener& listener_;
    // Before the ports: their workers are ended before it goes.
    std::unique_ptr<PrivateCopy> copy_;
    std::unique_ptr<PrivateCopy> valuesCopy_;
    std::vector<std::unique_ptr<Port>> ports_;
    Deliveries deliveries_;
    std::atomic<bool> finishAsked_{false};
    std::atomic<bool> abortAsked_{false};
    std::string failure_;
    Clock::time_point start_ = Clock::now();
    int count_ = 0;
    bool onePerPort_ = false;
    // What the run has come to so far; the counts of ports are made at the end.
    StationResult result_;
    int granted_ = 0;
    bool stopping_ = false;
    bool cancelling_ = false;
};

Supervisor::Supervisor(std::vector<StationPort> ports, SupervisorSettings settings,
                       StationListener& listener)
    : engine_(std::make_unique<Engine>(std::move(ports), std::move(settings), listener)) {}

Supervisor::~Supervisor() = default;

std::optional<StationResult> Supervisor::Run() {
    return engine_->Run();
}

void Supervisor::Finish() {
    engine_->Finish();
}

void Supervisor::Abort() {
    engine_->Abort();
}

const std::string& Supervisor::Failure() const {
    return engine_->Failure();
}

std::vector<std::string> Supervisor::WorkerArguments(const StationPort& port,
                                                     const SupervisorSettings& settings,
                                                     const std::string& file, bool proven,
                                                     const std::string& values) {
    std::vector<std::string> args{"--lang", settings.language, "--station-worker"};
    if (proven) {
        args.emplace_back(kPortProvenOption);
    }
    args.insert(args.end(), settings.workerOptions.begin(), settings.workerOptions.end());
    if (port.comPort > 0) {
        args.insert(args.end(), {"-p", std::to_string(port.comPort)});
    } else {
        args.insert(args.end(), {"--device", port.devicePath});
    }
    args.push_back(JobCommand(settings.job));
    if (!values.empty()) {
        args.insert(args.end(), {"--values", values, kValuesNameOption, settings.valuesFile});
    }
    if (!settings.pool.empty()) {
        args.insert(args.end(), {"--pool", settings.pool});
    }
    // "--": a file named like an option is still the file.
    args.insert(args.end(), {"--", file});
    return args;
}

}  // namespace station
