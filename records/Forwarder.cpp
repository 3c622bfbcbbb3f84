#include "records/Forwarder.h"

#include <algorithm>

namespace records {

int PushQueued(SqliteRecordStore& local, ServerRecordStore& server, int batch) {
    int pushed = 0;
    for (;;) {
        const std::vector<DeviceRecord> queued = local.Queued(batch);
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
        local.Sent(ids);
        pushed += static_cast<int>(ids.size());
    }
}

BackgroundPusher::BackgroundPusher(std::string localPath, std::string serverUri, Timing timing)
    : localPath_(std::move(localPath)), serverUri_(std::move(serverUri)), timing_(timing) {
    thread_ = std::thread([this] { Run(); });
}

BackgroundPusher::~BackgroundPusher() {
    Stop();
}

void BackgroundPusher::Wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    changed_.notify_all();
}

void BackgroundPusher::Stop() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;  // stopped already
        }
        stopping_ = true;
    }
    changed_.notify_one();
    stop_.Raise();
    thread_.join();
}

bool BackgroundPusher::Flush(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    if (status_.finished == 0 || !status_.lastError.empty()) {
        return false;
    }
    // The push this wake starts is the one after those begun so far.
    const std::int64_t wanted = status_.attempts + 1;
    woken_ = true;
    changed_.notify_all();
    return changed_.wait_for(lock, limit,
                             [&] { return stopping_ || status_.finished >= wanted; }) &&
           !stopping_ && status_.lastError.empty();
}

BackgroundPusher::Status BackgroundPusher::CurrentStatus() {
    std::lock_guard lock(mutex_);
    return status_;
}

std::string BackgroundPusher::PushOnce(std::unique_ptr<SqliteRecordStore>& local,
                                       std::unique_ptr<ServerRecordStore>& server) {
    try {
        if (!local) {
            local = std::make_unique<SqliteRecordStore>(localPath_,
                                                        SqliteRecordStore::Queue::ForServer);
        }
        if (!server) {
            server = OpenServerStore(serverUri_, timing_.connectTimeout, &stop_);
        }
        const int pushed = PushQueued(*local, *server);
        std::lock_guard lock(mutex_);
        status_.pushed += pushed;
        return std::string();
    } catch (const std::exception& error) {
        // Made anew on the next try, which runs the migration again too: the
        // server may come back set up anew.
        server.reset();
        return error.what();
    }
}

void BackgroundPusher::Run() {
    using Clock = std::chrono::steady_clock;
    std::unique_ptr<SqliteRecordStore> local;
    std::unique_ptr<ServerRecordStore> server;
    auto retryWait = timing_.retryMin;
    bool failing = false;
    auto next = Clock::now();  // a first push at once: what was queued while down
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait_until(lock, next, [&] {
                return stopping_ || (woken_ && !failing) || Clock::now() >= next;
            });
            if (stopping_) {
                return;
            }
            woken_ = false;
            ++status_.attempts;
        }
        const std::string error = PushOnce(local, server);
        std::lock_guard lock(mutex_);
        status_.lastError = error;
        ++status_.finished;
        changed_.notify_all();
        if (error.empty()) {
            failing = false;
            retryWait = timing_.retryMin;
            next = Clock::now() + timing_.interval;
        } else {
            ++status_.failures;
            failing = true;
            next = Clock::now() + retryWait;
            retryWait = std::min(retryWait * 2, timing_.retryMax);
        }
    }
}

}  // namespace records
