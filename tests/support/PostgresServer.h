// A PostgreSQL server of the test's own: a fresh cluster in a scratch folder,
// reached only through a Unix socket in that folder, gone with the object.
// As root (CI runs the tests so, and PostgreSQL refuses root) it runs as
// nobody; otherwise as whoever runs the test.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"

namespace testsupport {

class PostgresServer {
public:
    // Why there can be no server here (the binaries are not installed), or
    // empty: for GTEST_SKIP.
    static std::string Unavailable();

    // Makes the cluster and starts it. Throws std::runtime_error, with the
    // server's own words.
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Returns once the server accepts connections.
    void Start();
    // A clean (fast) shutdown.
    void Stop();
    // SIGKILL to the postmaster and its backends, as a crash of the server's
    // machine; returns once all of them are dead, and the connections they
    // served closed. A Start after it recovers the data as after a crash.
    void Kill();
    void Restart();
    // SIGSTOP / SIGCONT: a server that hangs, connections held but unanswered.
    void Pause();
    void Resume();

    // A libpq URI of one database on this server ("postgres" is always there).
    std::string Uri(const std::string& database = "postgres") const;
    // A database of its own for each test, on a server a suite shares: its URI.
    std::string NewDatabase();
    // The first value of what the statement returns, as text ("" for none),
    // read beside the store under test. Throws std::runtime_error.
    static std::string Scalar(const std::string& uri, const std::string& sql);

private:
    // The program, as the server's user, in a process group of its own.
    pid_t Launch(const std::string& program, const std::vector<std::string>& args) const;
    bool StartOnce();
    // The postmaster's group and its children (every backend and helper);
    // the children signalled.
    std::vector<pid_t> SignalAll(int signal);
    std::string Log() const;

    TempDir scratch_;
    std::filesystem::path folder_;  // the server's: socket, log, data below
    std::filesystem::path bin_;
    pid_t postmaster_ = -1;
    int databases_ = 0;
};

}  // namespace testsupport
