// How a station goes back to the line's server that failed it, whichever
// client library reaches it. A connection that was lost is made again at the
// next call, at once: the server may only have restarted. A try that fails
// makes the next one wait, from the policy's first wait doubling up to its
// longest, and a try that goes well starts over: twenty stations must not
// hammer a server that is coming back.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "records/RecordStore.h"

namespace records {

struct RetryPolicy {
    std::chrono::milliseconds first{std::chrono::seconds(1)};
    std::chrono::milliseconds longest{std::chrono::minutes(2)};
};

class Backoff {
public:
    using Clock = std::chrono::steady_clock;

    explicit Backoff(RetryPolicy policy) : policy_(policy), wait_(policy.first) {}

    // A try failed at now: the next one not before the time returned.
    Clock::time_point Failed(Clock::time_point now) {
        next_ = now + wait_;
        wait_ = std::min(wait_ * 2, policy_.longest);
        failing_ = true;
        return next_;
    }
    void Succeeded() {
        wait_ = policy_.first;
        failing_ = false;
    }
    bool Failing() const { return failing_; }
    // When the next try may begin: at once, unless the last one failed.
    Clock::time_point NextTry() const { return failing_ ? next_ : Clock::time_point(); }

private:
    RetryPolicy policy_;
    std::chrono::milliseconds wait_;
    Clock::time_point next_;
    bool failing_ = false;
};

// A store's connection to the server, made by connect (which also brings the
// schema up to date) when there is none, and dropped when a call through it
// finds the server gone (StoreError Kind::Open) or is left midway.
template <class Connection>
class ServerLink {
public:
    ServerLink(std::function<std::unique_ptr<Connection>()> connect, RetryPolicy policy)
        : connect_(std::move(connect)), backoff_(policy) {}

    // Runs use on the connection, connecting first if need be. Throws
    // StoreError (Kind::Open while a failed connect's wait lasts, without
    // trying).
    template <class Use>
    decltype(auto) With(Use&& use) {
        if (!connection_) {
            Connect();
        }
        try {
            return use(*connection_);
        } catch (const StoreError& error) {
            if (error.kind() == StoreError::Kind::Open) {
                connection_.reset();
            }
            throw;
        } catch (...) {
            // Left midway by the caller (a listing's visitor): what the
            // server was still sending would be taken for the next answer.
            connection_.reset();
            throw;
        }
    }

private:
    void Connect() {
        if (Backoff::Clock::now() < backoff_.NextTry()) {
            throw StoreError(StoreError::Kind::Open,
                             "the server did not answer: " + lastError_ + " (tried again later)");
        }
        try {
            connection_ = connect_();
        } catch (const StoreError& error) {
            lastError_ = error.what();
            backoff_.Failed(Backoff::Clock::now());
            throw;
        }
        backoff_.Succeeded();
    }

    std::function<std::unique_ptr<Connection>()> connect_;
    Backoff backoff_;
    std::unique_ptr<Connection> connection_;
    std::string lastError_;
};

}  // namespace records
