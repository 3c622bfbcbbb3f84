// One connection to the line's server. Every wait on the server has an end:
// the time given, or a descriptor that turns readable (a pusher being
// stopped), so no caller is held by a server that hangs.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/NonCopyable.h"
#include "records/PgStatement.h"
#include "records/RecordSchema.h"

typedef struct pg_conn PGconn;

namespace records {

class PgConnection : NonCopyable {
public:
    // Throws StoreError (Kind::Open) when the server cannot be reached in
    // time, or once interruptFd is readable (-1: nothing interrupts).
    PgConnection(const std::string& uri, std::chrono::milliseconds connectTimeout,
                 std::chrono::milliseconds answerTimeout, int interruptFd);
    ~PgConnection();

    // One statement. Throws StoreError: Kind::Open when the connection is
    // lost (it is of no further use then), Kind::Other with the server's text.
    PgResult Exec(const std::string& sql, const schema::Values& params = {});
    // One query whose rows are handed to visit one at a time, as the server
    // sends them (libpq's single-row mode), so that no more than a row is
    // held here; the answer's time limit counts from the last row. A visit
    // that throws leaves the connection broken: the rest of the answer is
    // still on its way.
    void ExecEach(const std::string& sql, const schema::Values& params,
                  const std::function<void(const PgResult&, int row)>& visit);
    // Several statements without values (a migration), in one exchange.
    void ExecScript(const std::string& sql);

    // The payloads of the notifications (LISTEN) that came, waiting up to
    // wait for the first when none has; empty after the wait. Throws
    // StoreError Kind::Open when the connection is lost or interrupted.
    std::vector<std::string> Notifications(std::chrono::milliseconds wait);

    // Statements from here to Commit or Rollback are one transaction.
    void Begin() { Exec("BEGIN"); }
    void Commit() { Exec("COMMIT"); }
    // Never throws: what threw first is what the caller hears of.
    void Rollback();

private:
    void Connect(const std::string& uri, std::chrono::milliseconds timeout);
    // Until the socket is ready for what is asked, or the deadline or an
    // interruption; throws on the last two.
    void WaitFor(bool write, std::chrono::steady_clock::time_point deadline);
    [[noreturn]] void Lost(const std::string& why);
    // Values always go as parameters, never into the SQL text; bytes in
    // binary form, so that the device's bytes arrive exactly, whatever the
    // server's client encoding would make of them as text. params null:
    // statements without values, as many as the text holds.
    void Send(const std::string& sql, const schema::Values* params);
    // Until the whole statement has left libpq's buffer.
    void Flush(std::chrono::steady_clock::time_point deadline);
    // The next result of the statement, null after the last.
    PGresult* NextResult(std::chrono::steady_clock::time_point deadline);
    // Sends what the buffer holds and reads the answer to the last statement.
    PgResult Finish();
    // Sends what the buffer holds and hands each result of the answer to
    // take, until the first failure; the answer's time limit counts from
    // the last row in single-row mode.
    void Receive(const std::function<void(const PgResult&)>& take);
    // After the last result: throws for the first failure among them.
    void Judge(bool failed, const std::string& error, const std::string& state);

    // Owned from the start: a constructor that throws still closes it.
    std::unique_ptr<PGconn, void (*)(PGconn*)> conn_;
    std::chrono::milliseconds answerTimeout_;
    int interruptFd_;
    bool broken_ = false;
};

}  // namespace records
