// One ODBC connection to the line's server, for Windows stations: the system's
// own odbc32.dll and the PostgreSQL ODBC driver. Every wait on the server has
// an end: the times given, or a stop signal that cancels the statement.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/NonCopyable.h"
#include "records/OdbcValues.h"
#include "records/StopSignal.h"

namespace records {

class OdbcConnection : NonCopyable {
public:
    // Tries the connection strings in turn while the driver one names is not
    // installed. Throws StoreError (Kind::Open) when none connects in time.
    OdbcConnection(const std::vector<std::string>& connectionStrings,
                   std::chrono::milliseconds connectTimeout,
                   std::chrono::milliseconds answerTimeout, StopSignal* stop);
    ~OdbcConnection();

    // The drivers tried, in turn: psqlODBC names its 64-bit driver apart.
    static const std::vector<std::string>& DriverNames();
    // What makes a connection to the server the URI ("postgresql://…")
    // names, anew at each call, through whichever of the drivers is there.
    // Throws StoreError (Kind::Open) here for a URI that names no server.
    static std::function<std::unique_ptr<OdbcConnection>()> Connector(
        const std::string& uri, std::chrono::milliseconds connectTimeout,
        std::chrono::milliseconds answerTimeout, StopSignal* stop);

    // One statement, with its values bound. Throws StoreError: Kind::Open
    // when the connection is lost or the wait ended, Kind::Other with the
    // server's text.
    OdbcRows Exec(const std::string& sql, const schema::Values& params);
    // One query whose rows are handed to visit as they are fetched, one at a
    // time, never gathered.
    void ExecEach(const std::string& sql, const schema::Values& params,
                  const std::function<void(const OdbcRows&, int row)>& visit);
    void ExecScript(const std::string& sql) { Exec(sql, {}); }

    // Statements from here to Commit or Rollback are one transaction.
    void Begin();
    void Commit();
    void Rollback();

private:
    // Runs the statement and hands each row it gives to take.
    void Run(const std::string& sql, const schema::Values& params,
             const std::function<void(std::vector<OdbcValue>&&)>& take);
    // Ends the statement in progress, from another thread.
    void Cancel();
    bool Stopped() const { return stop_ != nullptr && stop_->Raised(); }

    void* env_ = nullptr;  // SQLHENV
    void* dbc_ = nullptr;  // SQLHDBC
    bool connected_ = false;
    std::chrono::milliseconds answerTimeout_;
    StopSignal* stop_;
    std::mutex runningMutex_;
    void* running_ = nullptr;  // SQLHSTMT of the statement in progress
};

}  // namespace records
