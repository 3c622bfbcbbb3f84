// Value pools on the line's PostgreSQL server, reached through libpq: one
// pool that every station of a line draws from.
#pragma once

#include <chrono>
#include <string>

#include "records/LinkedPoolStore.h"

namespace records {

class PgConnection;
namespace server {
struct PgDialect;
}  // namespace server

extern template class LinkedPoolStore<PgConnection, server::PgDialect>;

class PostgresPoolStore : public LinkedPoolStore<PgConnection, server::PgDialect> {
public:
    // As PostgresRecordStore: connects and brings the schema up to date;
    // throws StoreError (Kind::Open when the server cannot be reached in
    // time). A connection lost later is made again at the next call.
    // connectNow false: the first call connects (and throws if it cannot).
    PostgresPoolStore(const std::string& uri, std::chrono::milliseconds connectTimeout,
                      int interruptFd = -1, bool connectNow = true);
};

}  // namespace records
