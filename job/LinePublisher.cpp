#include "job/LinePublisher.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

#include "common/Sha256.h"
#include "job/SignedIn.h"
#include "records/LineState.h"
#include "records/RecordStore.h"
#include "records/StopSignal.h"
#include "station/DevicesPerHour.h"

namespace job {

namespace {

using Clock = std::chrono::steady_clock;

// The dashboard's words, whatever language the station speaks.
const char* PhaseWord(station::PortPhase phase) {
    switch (phase) {
        case station::PortPhase::Idle:
            return "idle";
        case station::PortPhase::Working:
            return "working";
        case station::PortPhase::Ok:
            return "ok";
        case station::PortPhase::Failed:
            return "failed";
        case station::PortPhase::Cancelled:
            return "cancelled";
        case station::PortPhase::OutOfUse:
            return "out_of_use";
        case station::PortPhase::Finished:
            return "finished";
    }
    return "idle";
}

// What the tiles show; the seconds alone are left out, so the clock moving
// on is no change, while the pace it moves is one when it shows.
void Take(records::LineStation& state, const station::StationSnapshot& snapshot) {
    state.done = snapshot.done;
    state.failed = snapshot.failed;
    state.count = snapshot.count;
    state.devicesPerHour = station::DevicesPerHourShown(snapshot.done, snapshot.seconds);
    state.phase = snapshot.aborting ? "aborting" : snapshot.finishing ? "finishing" : "running";
    state.ports.clear();
    for (const station::PortState& port : snapshot.ports) {
        state.ports.push_back(records::LinePort{port.label, PhaseWord(port.phase), port.state,
                                                port.imei, port.permille, port.ok, port.failed,
                                                port.lastVerdict, port.lastOk, port.values});
    }
}

}  // namespace

struct LinePublisher::State {
    State(std::string uri, Timing timing) : uri(std::move(uri)), timing(timing) {}

    const std::string uri;
    const Timing timing;
    records::StopSignal stop;  // raised by Stop: ends the server's waits

    std::mutex mutex;
    std::condition_variable changed;
    records::LineStation latest;
    bool published = false;        // latest holds a snapshot
    std::uint64_t generation = 0;  // of latest, one more at each Publish
    std::uint64_t written = 0;     // the generation the server has
    bool answering = false;        // the last exchange with the server went well
    bool stopping = false;
    bool ended = false;  // the thread has left Run
};

LinePublisher::LinePublisher(const records::RecordsSetting& where, const LineJob& job,
                             Timing timing) {
    if (where.kind != records::RecordsSetting::Kind::Server) {
        return;
    }
    state_ = std::make_shared<State>(where.serverUri, timing);
    records::LineStation& state = state_->latest;
    state.station = job.station.empty() ? HostName() : job.station;
    state.job = station::JobCommand(job.job);
    state.fileName = job.fileName;
    state.fileSha256 = common::Sha256::HexDigest(job.fileBytes);
    state.portCount = job.ports;
    thread_ = std::thread([state = state_] { Run(state); });
}

LinePublisher::~LinePublisher() {
    if (state_) {
        End();
        Stop();
    }
}

void LinePublisher::Publish(const station::StationSnapshot& snapshot) {
    if (!state_) {
        return;
    }
    {
        std::lock_guard lock(state_->mutex);
        // An ended job stays ended: a snapshot still on its way changes nothing.
        if (state_->latest.phase == "ended") {
            return;
        }
        Take(state_->latest, snapshot);
        state_->published = true;
        ++state_->generation;
    }
    state_->changed.notify_all();
}

void LinePublisher::End() {
    if (!state_) {
        return;
    }
    bool answering = false;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->published || state_->latest.phase == "ended") {
            return;
        }
        state_->latest.phase = "ended";
        ++state_->generation;
        answering = state_->answering;
    }
    state_->changed.notify_all();
    if (answering) {
        Settle(state_->timing.endWait);
    }
}

bool LinePublisher::Settle(std::chrono::milliseconds limit) {
    if (!state_) {
        return true;
    }
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit,
                                    [&] { return state_->written == state_->generation; });
}

void LinePublisher::Stop() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->changed.notify_all();
    // Raised apart: ODBC's cancel asks the server itself, and a server that
    // hangs may never answer that either.
    std::thread([state = state_] { state->stop.Raise(); }).detach();
    std::unique_lock lock(state_->mutex);
    if (!state_->changed.wait_for(lock, state_->timing.stopWait, [&] { return state_->ended; })) {
        // It touches nothing but the state it shares, and ends by itself
        // when the client library gives up.
        thread_.detach();
        return;
    }
    lock.unlock();
    thread_.join();
}

void LinePublisher::Run(const std::shared_ptr<State>& shared) {
    State& state = *shared;
    const Timing& timing = state.timing;
    std::unique_ptr<records::LineStateLink> link;
    std::string station;
    {
        std::lock_guard lock(state.mutex);
        station = state.latest.station;
    }
    try {
        link = records::OpenLineStateLink(state.uri, timing.connectTimeout, timing.answerTimeout,
                                          timing.retry, &state.stop);
    } catch (const records::StoreError&) {
        // A URI that names no server: nothing to publish to, ever.
    }
    // What the server was last told; none before the first write, and after
    // any failure, when what it holds is not known.
    std::optional<records::LineStation> told;
    bool begun = true;  // the first write starts the job's time
    records::Backoff backoff(timing.retry);
    Clock::time_point lastWrite;
    Clock::time_point lastWord = Clock::now();
    for (;;) {
        records::LineStation toWrite;
        std::uint64_t generation = 0;
        bool beat = false;
        {
            std::unique_lock lock(state.mutex);
            for (;;) {
                if (state.stopping || !link) {
                    break;
                }
                const auto now = Clock::now();
                const bool pending =
                    state.published && (state.written != state.generation || !told);
                const auto writeAt = std::max(lastWrite + timing.coalesce, backoff.NextTry());
                const auto beatAt = std::max(lastWord + timing.heartbeat, backoff.NextTry());
                if (pending && now >= writeAt) {
                    break;
                }
                if (!pending && told && now >= beatAt) {
                    beat = true;
                    break;
                }
                if (pending) {
                    state.changed.wait_until(lock, writeAt);
                } else if (told) {
                    state.changed.wait_until(lock, beatAt);
                } else {
                    state.changed.wait(lock);
                }
            }
            if (state.stopping || !link) {
                break;
            }
            if (!beat) {
                generation = state.generation;
                if (told && *told == state.latest) {
                    // Only the clock moved: nothing the dashboard shows.
                    state.written = generation;
                    state.changed.notify_all();
                    continue;
                }
                toWrite = state.latest;
            }
        }
        bool wentWell = true;
        try {
            if (beat) {
                if (!link->Heartbeat(station)) {
                    told.reset();  // the row is gone: written whole next
                }
            } else {
                link->Write(toWrite, begun);
                begun = false;
                told = toWrite;
                lastWrite = Clock::now();
            }
            lastWord = Clock::now();
            backoff.Succeeded();
        } catch (const std::exception&) {
            wentWell = false;
            told.reset();
            backoff.Failed(Clock::now());
        }
        std::lock_guard lock(state.mutex);
        state.answering = wentWell;
        if (wentWell && !beat) {
            state.written = generation;
        }
        state.changed.notify_all();
    }
    // The connection closes before the end is told: a Stop that waited for
    // it leaves nothing open.
    link.reset();
    std::lock_guard lock(state.mutex);
    state.ended = true;
    state.changed.notify_all();
}

}  // namespace job
