// A line's shared records on one PostgreSQL server, reached through libpq:
// what the stations forward from their own files, each record once (its id is
// the key), for the MES to query. Calls wait on the server only as long as
// the times given.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "records/LinkedStore.h"

namespace records {

class PgConnection;
namespace server {
struct PgDialect;
template <class Dialect>
class Queries;
}  // namespace server

extern template class LinkedStore<PgConnection, server::Queries<server::PgDialect>>;

class PostgresRecordStore : public LinkedStore<PgConnection, server::Queries<server::PgDialect>> {
public:
    // uri: a libpq connection string ("postgresql://user@/db?host=/sock/dir",
    // "host=… dbname=…"). Connects and brings the schema up to date; throws
    // StoreError (Kind::Open when the server cannot be reached in time).
    // Once interruptFd (-1: none) is readable, every wait on the server ends
    // with Kind::Open: how a pusher being stopped leaves a server that hangs.
    PostgresRecordStore(const std::string& uri, std::chrono::milliseconds connectTimeout,
                        int interruptFd = -1);
};

}  // namespace records
