// What a station's tiles show, published to the line's server as it changes
// for the dashboard (docs/line.md). The station only hands its snapshots over
// and never waits on the server: a thread of the publisher's own keeps the
// connection, writes the latest state at most every few hundred
// milliseconds while it changes, and a heartbeat while it does not. A server
// that is slow, hangs or is not there costs the station nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "common/NonCopyable.h"
#include "records/RecordsSetting.h"
#include "records/ServerLink.h"
#include "station/StationJob.h"
#include "station/Supervisor.h"

namespace job {

// The job a station works, as the line's server names it.
struct LineJob {
    std::string station;  // empty: the host's name
    station::StationJob job = station::StationJob::Batch;
    std::string fileName;  // as the operator named it
    std::string fileBytes;
    int ports = 0;
};

class LinePublisher : NonCopyable {
public:
    struct Timing {
        // The least time between two writes while the state changes.
        std::chrono::milliseconds coalesce{200};
        // How often the station says it is there while nothing changes: the
        // dashboard takes one unheard for 30 s as offline.
        std::chrono::milliseconds heartbeat{std::chrono::seconds(5)};
        std::chrono::milliseconds connectTimeout{std::chrono::seconds(3)};
        std::chrono::milliseconds answerTimeout{std::chrono::seconds(3)};
        records::RetryPolicy retry{std::chrono::seconds(1), std::chrono::seconds(30)};
        // How long the end waits for the last state to reach a server that
        // has been answering.
        std::chrono::milliseconds endWait{std::chrono::seconds(2)};
        // How long a stop waits for a client library whose wait cannot be
        // cut short (ODBC's connect) before the thread is let go.
        std::chrono::milliseconds stopWait{std::chrono::seconds(1)};
    };

    // Publishes nothing, and starts no thread, where records go to no server.
    LinePublisher(const records::RecordsSetting& where, const LineJob& job, Timing timing);
    LinePublisher(const records::RecordsSetting& where, const LineJob& job)
        : LinePublisher(where, job, Timing()) {}
    // Publishes the end (End) and waits for it as End says, then stops the
    // thread, also while it waits on a server that hangs.
    ~LinePublisher();

    // The station's state now; only the latest one is kept. Never waits on
    // the server. From one thread at a time.
    void Publish(const station::StationSnapshot& snapshot);
    // The job has ended: its last state goes out as "ended". Waits up to the
    // timing's endWait for that, but only where the server has been
    // answering.
    void End();

    // Until what was published last has been written (or found no change
    // from what the server has), at most limit; true when it has.
    bool Settle(std::chrono::milliseconds limit);

private:
    struct State;
    static void Run(const std::shared_ptr<State>& state);
    void Stop();

    // Shared with the thread, which may outlive this object (stopWait).
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace job
