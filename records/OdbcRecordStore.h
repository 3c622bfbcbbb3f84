// A line's shared records on the PostgreSQL server, reached from a Windows
// station through ODBC (odbc32.dll, part of every Windows, and the PostgreSQL
// ODBC driver): the same tables and the same statements as libpq's store.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "records/ServerLink.h"
#include "records/ServerRecordStore.h"

namespace records {

class OdbcConnection;

class OdbcRecordStore : public ServerRecordStore {
public:
    // The drivers tried, in turn: psqlODBC names its 64-bit driver apart.
    static const std::vector<std::string>& DriverNames();

    // uri: "postgresql://…", as on every station. Connects and brings the
    // schema up to date; throws StoreError (Kind::Open when the server or
    // the driver is not there). stop (may be null) ends every wait. A
    // connection lost later is made again (ServerLink).
    OdbcRecordStore(const std::string& uri, std::chrono::milliseconds connectTimeout,
                    StopSignal* stop = nullptr);
    ~OdbcRecordStore() override;
    OdbcRecordStore(const OdbcRecordStore&) = delete;
    OdbcRecordStore& operator=(const OdbcRecordStore&) = delete;

    void AddAll(const std::vector<DeviceRecord>& records) override;
    void ForEach(const RecordQuery& query,
                 const std::function<void(const DeviceRecord&)>& visit) override;
    std::optional<DeviceRecord> Get(const std::string& id) override;

private:
    ServerLink<OdbcConnection> link_;
};

}  // namespace records
