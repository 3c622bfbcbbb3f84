// tirvel-line as the line runs it: a process of its own on a loopback port,
// serving the records store the URI names, with the logins made by its own
// command line.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

#include "ChildProcess.h"
#include "HttpClient.h"
#include "TempDir.h"

namespace testsupport {

class LineServer {
public:
    // program: the tirvel-line binary. Returns once the server answers;
    // throws std::runtime_error with its output when it does not.
    LineServer(const std::string& program, const std::string& recordsUri);

    // `tirvel-line user add NAME --role ROLE`, the password on stdin.
    void AddUser(const std::string& name, const std::string& role, const std::string& password);
    // `tirvel-line token add NAME`: the read-only token it printed.
    std::string AddToken(const std::string& name);

    // Killed, as by a crash, and started again on the same port: what it
    // held in memory (the logins' sessions) is gone.
    void Restart();

    std::uint16_t Port() const { return port_; }
    // The process, to read its CPU and memory from /proc.
    pid_t Pid() const { return process_->Pid(); }
    std::string Url(const std::string& path = "/") const;
    const HttpClient& Http() const { return *http_; }
    // What it wrote, for failure messages.
    std::string Output() const;

private:
    void Start();

    std::string program_;
    std::string uri_;
    TempDir scratch_;
    std::uint16_t port_ = 0;
    std::unique_ptr<ChildProcess> process_;
    std::unique_ptr<HttpClient> http_;
};

}  // namespace testsupport
