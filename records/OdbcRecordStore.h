// A line's shared records on the PostgreSQL server, reached from a Windows
// station through ODBC (odbc32.dll, part of every Windows, and the PostgreSQL
// ODBC driver): the same tables and the same statements as libpq's store.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "records/LinkedStore.h"

namespace records {

class OdbcConnection;
namespace server {
struct OdbcDialect;
template <class Dialect>
class Queries;
}  // namespace server

extern template class LinkedStore<OdbcConnection, server::Queries<server::OdbcDialect>>;

class OdbcRecordStore : public LinkedStore<OdbcConnection, server::Queries<server::OdbcDialect>> {
public:
    // uri: "postgresql://…", as on every station. Connects and brings the
    // schema up to date; throws StoreError (Kind::Open when the server or
    // the driver is not there). stop (may be null) ends every wait. A
    // connection lost later is made again (ServerLink).
    OdbcRecordStore(const std::string& uri, std::chrono::milliseconds connectTimeout,
                    StopSignal* stop = nullptr);
};

}  // namespace records
