// The live state of a station as the line's server keeps it for the
// dashboard (docs/line.md): a row per station and a row per port, replaced
// as they change, each change told on the channel tirvel-line listens on.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/ServerLink.h"
#include "records/StopSignal.h"

namespace records {

struct LinePort {
    std::string label;
    std::string phase;  // the fixed English word: "idle" … "finished"
    std::string stateText;
    std::string imeiText;
    int permille = 0;
    int ok = 0;
    int failed = 0;
    std::string lastVerdict;
    bool lastOk = false;
    std::string valuesSource;

    bool operator==(const LinePort&) const = default;
};

struct LineStation {
    std::string station;
    std::string job;  // "batch", "update" or "send"
    std::string fileName;
    std::string fileSha256;
    int done = 0;
    int failed = 0;
    int count = 0;
    std::optional<double> devicesPerHour;  // none: no pace yet
    std::string phase;                     // "running", "finishing", "aborting" or "ended"
    int portCount = 0;
    std::vector<LinePort> ports;

    bool operator==(const LineStation&) const = default;
};

// One station's way to the line's state tables, through whichever client
// library the system has. The connection is made (and the schema brought up
// to date) by the first call, and again after one that found it lost.
class LineStateLink {
public:
    virtual ~LineStateLink() = default;

    // The station's row and its ports' rows as state says, ports beyond its
    // own dropped, and the change told, in one transaction. begun: the job
    // has just begun, so its start is now even where the row was there from
    // a job before. Throws StoreError.
    virtual void Write(const LineStation& state, bool begun) = 0;
    // The station was heard from now, told as a change. False, and nothing
    // done, when the server has no row of the station. Throws StoreError.
    virtual bool Heartbeat(const std::string& station) = 0;
};

// The state tables on the server the URI ("postgresql://…") names; asks
// nothing of the server yet. Once stop (may be null) is raised, every wait on
// the server ends with StoreError Kind::Open. Throws StoreError (Kind::Open)
// for a URI that names no server.
std::unique_ptr<LineStateLink> OpenLineStateLink(const std::string& uri,
                                                 std::chrono::milliseconds connectTimeout,
                                                 std::chrono::milliseconds answerTimeout,
                                                 RetryPolicy retry, StopSignal* stop);

}  // namespace records
