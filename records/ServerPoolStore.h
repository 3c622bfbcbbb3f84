// The line's value pools as a station sees them, reached through whichever
// client library the system has (libpq on Linux, ODBC on Windows): the pools
// every store has, and the block of rows set aside for a station to draw
// from while the server cannot be reached (LinePoolStore).
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "records/PoolStore.h"

namespace records {

class ServerPoolStore : public PoolStore {
public:
    // Sets up to count free rows aside for the station: no other station
    // draws them. Returns every row reserved for the station and not tied
    // yet, these and any before, with their cells.
    virtual std::vector<PoolRow> Reserve(const std::string& name, const std::string& station,
                                         int count) = 0;
    // A row reserved for the station and tied by it while the server could
    // not be reached: tied here to the same IMEI, with the state and times
    // the station kept. Sending it again is no change. Throws PoolError
    // NotTied for a row that is neither reserved for that station nor that
    // IMEI's already.
    virtual void TieReserved(const std::string& name, const PoolRow& tied) = 0;
};

// The pools on the server the URI ("postgresql://…") names. connectNow: the
// server is reached, and its schema brought up to date, here, and StoreError
// (Kind::Open when it cannot be reached in time) thrown here; else at the
// first call. A connection lost later is made again at the next call.
std::unique_ptr<ServerPoolStore> OpenServerPoolStore(const std::string& uri,
                                                     std::chrono::milliseconds connectTimeout,
                                                     bool connectNow = true);

}  // namespace records
