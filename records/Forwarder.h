// Store and forward: each station commits its records to its own file first
// and sends what is queued there on to the line's server. A server that is
// down never stops or slows the station; the queue waits for it, and a record
// leaves the queue only once the server has committed it. Sending one twice
// (a process killed between the server's commit and the file's) adds it once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "common/NonCopyable.h"
#include "records/ServerLink.h"
#include "records/ServerRecordStore.h"
#include "records/SqliteRecordStore.h"
#include "records/StopSignal.h"

namespace records {

// Sends the queue in batches until it is empty; returns how many records went.
// Throws StoreError as the stores do; what went before the error stays sent.
int PushQueued(SqliteRecordStore& local, ServerRecordStore& server, int batch = 500);

// A thread that forwards one station file's queue: every interval, and soon
// after Wake(). After a failure it tries again as the retry policy says
// (ServerLink.h), and a Wake() does not cut that wait short:
// twenty stations waking at every record must not hammer a server that is
// coming back. Nothing here waits on the server but the thread itself.
class BackgroundPusher : NonCopyable {
public:
    struct Timing {
        std::chrono::milliseconds interval{std::chrono::seconds(30)};
        std::chrono::milliseconds connectTimeout{std::chrono::seconds(10)};
        RetryPolicy retry;
        std::chrono::milliseconds stopWait{std::chrono::seconds(1)};
    };
    struct Status {
        std::int64_t pushed = 0;    // records sent by the pushes that went well
        std::int64_t attempts = 0;  // pushes begun
        std::int64_t failures = 0;  // pushes that ended in an error
        std::int64_t finished = 0;  // pushes ended, well or not
        std::string lastError;      // empty after a push that went well
    };

    // Starts the thread. The file is opened (and the server reached) by it.
    BackgroundPusher(std::string localPath, std::string serverUri, Timing timing);
    BackgroundPusher(std::string localPath, std::string serverUri)
        : BackgroundPusher(std::move(localPath), std::move(serverUri), Timing()) {}
    ~BackgroundPusher();

    // Records were added: push soon (unless a retry wait holds).
    void Wake();
    // Pushes now and waits for that push, at most limit; true when it went
    // well. Only a server that has answered is waited for: while none has
    // (it is down, or the first push is still connecting) this returns false
    // at once, and the records stay queued for later.
    bool Flush(std::chrono::milliseconds limit);
    // Ends the thread, also while it waits on a server that hangs: what it
    // was sending stays queued. A client library whose wait cannot be cut
    // short (ODBC's connect) is not waited for beyond stopWait: the thread
    // is let go, ends by itself when the library returns, and touches
    // nothing of this object's, nor the station's file, which it holds open
    // only while it reads or marks a batch, never while it waits on the
    // server. Called by the destructor too; from one thread at a time.
    void Stop();
    Status CurrentStatus();

private:
    struct State;
    static void Run(const std::shared_ptr<State>& state);
    // One push; the error, or empty.
    static std::string PushOnce(State& state, std::unique_ptr<ServerRecordStore>& server);
    // use(the station's file), opened for it alone; throws once Stop has let
    // the thread go.
    template <class Use>
    static void WithFile(State& state, Use&& use);

    // Shared with the thread, which may outlive this object (above).
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace records
