// The line's server as tirvel-line reads it: a few connections, each lent
// to one request at a time and given back after, so that the HTTP threads
// never make a connection per request nor share one between them.
#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "records/PgConnection.h"
#include "records/RecordStore.h"

namespace line {

class LineDatabase {
public:
    explicit LineDatabase(std::string uri,
                          std::chrono::milliseconds answerTimeout = std::chrono::seconds(10));

    class Lease {
    public:
        Lease(LineDatabase& owner, std::unique_ptr<records::PgConnection> connection)
            : owner_(owner), connection_(std::move(connection)) {}
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        records::PgConnection& operator*() { return *connection_; }
        records::PgConnection* operator->() { return connection_.get(); }
        // The connection failed: it is not given back.
        void Spoil() { spoiled_ = true; }

    private:
        LineDatabase& owner_;
        std::unique_ptr<records::PgConnection> connection_;
        bool spoiled_ = false;
    };

    // A connection, made when none is free. Throws StoreError (Kind::Open)
    // when the server cannot be reached.
    Lease Borrow();
    // Runs work on a borrowed connection; one that lost its server is
    // dropped, and work tried once more on a fresh one (the server may only
    // have restarted).
    template <class Work>
    auto With(Work&& work) {
        for (int attempt = 0;; ++attempt) {
            Lease lease = Borrow();
            try {
                return work(*lease);
            } catch (const records::StoreError& e) {
                lease.Spoil();
                if (e.kind() != records::StoreError::Kind::Open || attempt > 0) {
                    throw;
                }
            }
        }
    }

    const std::string& Uri() const { return uri_; }

private:
    std::string uri_;
    std::chrono::milliseconds answerTimeout_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<records::PgConnection>> idle_;
};

}  // namespace line
