// Value pools on the line's PostgreSQL server, reached from a Windows station
// through ODBC and the PostgreSQL ODBC driver: the same tables, the same
// statements and the same locks as libpq's store.
#pragma once

#include <chrono>
#include <string>

#include "records/LinkedPoolStore.h"

namespace records {

class OdbcConnection;
class StopSignal;
namespace server {
struct OdbcDialect;
}  // namespace server

extern template class LinkedPoolStore<OdbcConnection, server::OdbcDialect>;

class OdbcPoolStore : public LinkedPoolStore<OdbcConnection, server::OdbcDialect> {
public:
    // As OdbcRecordStore: connects and brings the schema up to date; throws
    // StoreError (Kind::Open when the server or the driver is not there).
    // connectNow false: the first call connects (and throws if it cannot).
    // stop (may be null) ends every wait.
    OdbcPoolStore(const std::string& uri, std::chrono::milliseconds connectTimeout,
                  StopSignal* stop = nullptr, bool connectNow = true);
};

}  // namespace records
