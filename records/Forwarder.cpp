#include "records/Forwarder.h"

#include <functional>

namespace records {

namespace {

// Batches until the queue is empty: next gives one (empty: none left), sent
// takes its ids off the queue once the server has committed it.
int PushBatches(const std::function<std::vector<DeviceRecord>()>& next, ServerRecordStore& server,
                const std::function<void(const std::vector<std::string>&)>& sent) {
    int pushed = 0;
    for (;;) {
        const std::vector<DeviceRecord> queued = next();
        if (queued.empty()) {
            return pushed;
        }
        server.AddAll(queued);
        std::vector<std::string> ids;
        ids.reserve(queued.size());
        for (const DeviceRecord& record : queued) {
            ids.push_back(record.id);
        }
        // A kill between the server's commit and this one sends the batch
        // again later: the server keeps the first of each id.
        sent(ids);
        pushed += static_cast<int>(ids.size());
    }
}

constexpr int kBatch = 500;

}  // namespace

int PushQueued(SqliteRecordStore& local, ServerRecordStore& server, int batch) {
    return PushBatches([&] { return local.Queued(batch); }, server,
                       [&](const std::vector<std::string>& ids) { local.Sent(ids); });
}

struct BackgroundPusher::State {
    State(std::string localPath, std::string serverUri, Timing timing)
        : localPath(std::move(localPath)), serverUri(std::move(serverUri)), timing(timing) {}

    const std::string localPath;
    const std::string serverUri;
    const Timing timing;
    StopSignal stop;  // raised by Stop: ends the server's waits

    // The station's file is open only under this, and never again once a
    // Stop has let the thread go: a thread left waiting on the server holds
    // no handle of it, and touches it no more.
    std::mutex fileMutex;
    bool fileLetGo = false;

    std::mutex mutex;
    std::condition_variable changed;
    bool woken = false;
    bool stopping = false;
    bool ended = false;  // the thread has left Run
    Status status;
};

BackgroundPusher::BackgroundPusher(std::string localPath, std::string serverUri, Timing timing)
    : state_(std::make_shared<State>(std::move(localPath), std::move(serverUri), timing)) {
    thread_ = std::thread([state = state_] { Run(state); });
}

BackgroundPusher::~BackgroundPusher() {
    Stop();
}

void BackgroundPusher::Wake() {
    {
        std::lock_guard lock(state_->mutex);
        state_->woken = true;
    }
    state_->changed.notify_all();
}

void BackgroundPusher::Stop() {
    {
        std::unique_lock lock(state_->mutex);
        if (state_->stopping) {
            return;  // stopped already
        }
        state_->stopping = true;
        state_->changed.notify_all();
    }
    // Raised apart: ODBC's cancel asks the server itself, and a server that
    // hangs may never answer that either.
    std::thread([state = state_] { state->stop.Raise(); }).detach();
    {
        std::unique_lock lock(state_->mutex);
        if (!state_->changed.wait_for(lock, state_->timing.stopWait,
                                      [&] { return state_->ended; })) {
            lock.unlock();
            // Waits at most for one batch read from or marked in the file.
            std::lock_guard file(state_->fileMutex);
            state_->fileLetGo = true;
            thread_.detach();
            return;
        }
    }
    thread_.join();
}

bool BackgroundPusher::Flush(std::chrono::milliseconds limit) {
    State& state = *state_;
    std::unique_lock lock(state.mutex);
    if (state.status.finished == 0 || !state.status.lastError.empty()) {
        return false;
    }
    // The push this wake starts is the one after those begun so far.
    const std::int64_t wanted = state.status.attempts + 1;
    state.woken = true;
    state.changed.notify_all();
    return state.changed.wait_for(
               lock, limit, [&] { return state.stopping || state.status.finished >= wanted; }) &&
           !state.stopping && state.status.lastError.empty();
}

BackgroundPusher::Status BackgroundPusher::CurrentStatus() {
    std::lock_guard lock(state_->mutex);
    return state_->status;
}

template <class Use>
void BackgroundPusher::WithFile(State& state, Use&& use) {
    std::lock_guard lock(state.fileMutex);
    if (state.fileLetGo) {
        throw StoreError(StoreError::Kind::Open, "stopped");
    }
    SqliteRecordStore local(state.localPath, SqliteRecordStore::Queue::ForServer);
    use(local);
}

std::string BackgroundPusher::PushOnce(State& state, std::unique_ptr<ServerRecordStore>& server) {
    try {
        // The file first: one that cannot be opened is told before the server.
        WithFile(state, [](SqliteRecordStore&) {});
        if (!server) {
            server = OpenServerStore(state.serverUri, state.timing.connectTimeout, &state.stop);
        }
        // The file is opened for each step and closed before the server is
        // asked anything.
        const int pushed = PushBatches(
            [&] {
                std::vector<DeviceRecord> queued;
                WithFile(state, [&](SqliteRecordStore& local) { queued = local.Queued(kBatch); });
                return queued;
            },
            *server,
            [&](const std::vector<std::string>& ids) {
                WithFile(state, [&](SqliteRecordStore& local) { local.Sent(ids); });
            });
        std::lock_guard lock(state.mutex);
        state.status.pushed += pushed;
        return std::string();
    } catch (const std::exception& error) {
        // Made anew on the next try, which runs the migration again too: the
        // server may come back set up anew.
        server.reset();
        return error.what();
    }
}

void BackgroundPusher::Run(const std::shared_ptr<State>& shared) {
    using Clock = std::chrono::steady_clock;
    State& state = *shared;
    std::unique_ptr<ServerRecordStore> server;
    Backoff backoff(state.timing.retry);
    auto next = Clock::now();  // a first push at once: what was queued while down
    for (;;) {
        {
            std::unique_lock lock(state.mutex);
            state.changed.wait_until(lock, next, [&] {
                return state.stopping || (state.woken && !backoff.Failing()) ||
                       Clock::now() >= next;
            });
            if (state.stopping) {
                break;
            }
            state.woken = false;
            ++state.status.attempts;
        }
        const std::string error = PushOnce(state, server);
        std::lock_guard lock(state.mutex);
        state.status.lastError = error;
        ++state.status.finished;
        state.changed.notify_all();
        if (error.empty()) {
            backoff.Succeeded();
            next = Clock::now() + state.timing.interval;
        } else {
            ++state.status.failures;
            next = backoff.Failed(Clock::now());
        }
    }
    // The server's store closes before the end is told: a Stop that waited
    // for it leaves nothing open.
    server.reset();
    std::lock_guard lock(state.mutex);
    state.ended = true;
    state.changed.notify_all();
}

}  // namespace records
