// The supervisor of a station: one job on several ports, each port worked by
// worker processes of tirvelctl, one device per worker. It keeps the count and
// every port's state and tells them as events to whoever shows them: the
// terminal board of tirvelctl, or the tiles of the station window. It never
// draws and never reads a key; Finish and Abort may come from any thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/NonCopyable.h"
#include "station/DeviceRow.h"
#include "station/PortList.h"
#include "station/StationJob.h"

namespace station {

struct SupervisorSettings {
    StationJob job = StationJob::Update;
    std::string file;   // as the operator named it
    std::string bytes;  // what it held when the station began: what every worker gets
    // A batch's values table, as the operator named it (empty: none), and its bytes, the same for
    // every worker as the file's.
    std::string valuesFile;
    std::string valuesBytes;
    // The value pool each device of a batch draws a row from (empty: none),
    // passed on to the workers as its name.
    std::string pool;
    int count = 0;  // devices in all; 0: one per port (update, send), until Finish (batch)
    std::optional<std::string> password;
    std::string program;   // tirvelctl, started as the workers
    std::string language;  // "en" or "zh", passed on to the workers
    // Passed on to the workers as they are: where and under what names each
    // keeps its device's record.
    std::vector<std::string> workerOptions;
    // What is known of a device by its IMEI (shown text) from earlier work,
    // in words; asked once as each device tells who it is. May be empty.
    std::function<std::string(const std::string& imei)> history;
};

// How a port's device stands, as a tile or a board line shows it.
enum class PortPhase { Idle, Working, Ok, Failed, Cancelled, OutOfUse, Finished };

struct PortState {
    std::string label;  // "COM3" or the device path
    PortPhase phase = PortPhase::Idle;
    std::string state;  // the state in words: a step, a verdict, or why the port is out of use
    std::string imei;
    std::string history;  // the device's earlier work, in words; empty when unknown
    // Where the device's own values came from ("ids.csv line 4", "pool ids
    // row 17"); empty: none, or not known yet.
    std::string values;
    int permille = 0;  // of the transfer or the device's steps; 0 while waiting
    int ok = 0;
    int failed = 0;
    std::string lastVerdict;  // the last device's verdict in words; empty before the first
    bool lastOk = false;
};

struct StationSnapshot {
    std::vector<PortState> ports;
    int done = 0;
    int count = 0;  // 0: no end set
    int failed = 0;
    double seconds = 0;  // since the start
    bool finishing = false;
    bool aborting = false;
};

struct StationResult {
    int done = 0;
    int failed = 0;
    int outOfUse = 0;
    bool interrupted = false;  // Finish or Abort came before the end
    bool jobFailed = false;    // the file is unusable: no device can take it
    bool reportFailed = false;
    bool shortOfCount = false;
    // Nothing failed and every device asked for was done.
    bool Clean() const {
        return failed == 0 && outOfUse == 0 && !jobFailed && !reportFailed && !shortOfCount;
    }
};

// Called on the supervisor's thread.
class StationListener {
public:
    virtual ~StationListener() = default;
    // Every port and the totals, after every change and a few times a second
    // besides (the rates and devices per hour move on by themselves).
    virtual void Changed(const StationSnapshot& /*snapshot*/) {}
    // A new state of one port, in words, told once per change.
    virtual void PortTold(std::size_t /*port*/, const std::string& /*text*/) {}
    // A line for the whole station: finishing, a port out of use, the report failing.
    virtual void Said(const std::string& /*line*/) {}
    // A device is done; false when the report could not take its row.
    virtual bool Recorded(const DeviceRow& /*row*/) { return true; }
};

class Supervisor : NonCopyable {
public:
    Supervisor(std::vector<StationPort> ports, SupervisorSettings settings,
               StationListener& listener);
    ~Supervisor();

    // Works the job until every port is done; blocks. nullopt when the
    // station could not begin (its file could not be copied: said).
    std::optional<StationResult> Run();

    // Why Run could not begin.
    const std::string& Failure() const;

    // Take no new device; those in flight finish. From any thread.
    void Finish();
    // Cancel the devices in flight safely (each worker's own Stop). From any thread.
    void Abort();

    // The worker's command line for one port, without the program; file is
    // the copy the worker reads, values the copy of the values table (empty:
    // none). proven: the port has given a device before.
    static std::vector<std::string> WorkerArguments(const StationPort& port,
                                                    const SupervisorSettings& settings,
                                                    const std::string& file, bool proven = false,
                                                    const std::string& values = std::string());

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
};

}  // namespace station
