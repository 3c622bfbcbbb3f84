// The worker side of a station: one device on one port, told to the
// supervisor as event lines. The supervisor starts one worker per device, so
// the view's program-wide values (item count, probe stop flag, preset flag,
// transfer port and progress) are never shared between ports, and a worker
// that crashes or hangs takes nobody else's device with it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <istream>
#include <memory>
#include <mutex>
#include <ostream>
#include <streambuf>
#include <string>

#include "cli/ConsoleHost.h"
#include "job/DevicePool.h"
#include "job/DeviceRecorder.h"
#include "job/ValuesTable.h"
#include "station/DeviceProgress.h"
#include "station/StationEvents.h"
#include "station/StationJob.h"

namespace cli {

class WorkerLink : public station::DeviceObserver {
public:
    WorkerLink(std::ostream& events, std::istream& replies);

    void Step(station::DeviceStep step, int detail) override;
    void Identity(const std::string& imei, const std::string& version) override;
    void Values(const std::string& source) override;
    bool Claim() override;
    void Transfer(std::int64_t done, std::int64_t total) override;

    void End(station::DeviceOutcome outcome, const station::DeviceRow* row);
    // Lines written here become message events: the worker's console.
    std::ostream& Messages() { return messages_; }
    bool Claimed() const { return claimed_; }
    // The next line from the supervisor; empty at the end of input.
    std::string ReadReply();
    // From now on the supervisor's lines are read on a thread of their own,
    // so a cancel reaches the device whatever the worker is doing: onCancel
    // runs there on the cancel line or the end of input, until StopWatching;
    // other lines wait for ReadReply. The thread may outlive the link (it
    // waits for input until the process ends): the stream must too.
    void WatchReplies(std::function<void()> onCancel);
    void StopWatching();

private:
    class LineBuffer : public std::streambuf {
    public:
        explicit LineBuffer(WorkerLink& link) : link_(link) {}

    protected:
        int overflow(int c) override;

    private:
        WorkerLink& link_;
        std::string line_;
    };

    void Emit(const station::StationEvent& event);

    std::mutex mutex_;
    std::ostream& events_;
    std::istream& replies_;
    LineBuffer buffer_;
    std::ostream messages_;
    bool claimed_ = false;
    std::chrono::steady_clock::time_point lastTransfer_{};

    // Shared with the reading thread, which may outlive the link.
    struct Replies {
        std::mutex mutex;
        std::condition_variable arrived;
        std::deque<std::string> lines;
        bool ended = false;
        std::function<void()> onCancel;
    };
    std::shared_ptr<Replies> watched_;
};

// Runs one device of the job on the port of settings; the password comes
// from the supervisor on stdin. file is the supervisor's copy of the
// operator's file, bytes what it held when read before the port opened (an
// update's view reads the image from file itself). The exit code is 0 once
// the end was told. portProven: the port has given the station a device
// before (the supervisor knows; each worker sees one device only). values:
// a batch's table, read from the supervisor's copy and checked as it was;
// valuesName the operator's name for it.
int RunStationWorker(station::StationJob job, HostSettings settings, const std::string& file,
                     const std::string& bytes, bool portProven, job::DeviceRecorder& recorder,
                     const job::ValuesTable* values, const std::string& valuesName,
                     job::DevicePool* pool);

}  // namespace cli
