// tirvel-line as a line runs it, for the benches: the program itself, in a
// process of its own, on the port it chose on 127.0.0.1, and the token a
// program reads its API with, made as the line's lead makes one.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "ChildProcess.h"

namespace bench {

class LineProcess {
public:
    // Returns once it serves; throws std::runtime_error when it does not
    // within 20 s, or ends. Its output goes to dir.
    LineProcess(const std::string& program, const std::string& uri,
                const std::filesystem::path& dir);
    // Stopped as an operator stops it (SIGTERM), and waited for.
    ~LineProcess();
    LineProcess(const LineProcess&) = delete;
    LineProcess& operator=(const LineProcess&) = delete;

    pid_t Pid() const { return process_.Pid(); }
    std::uint16_t Port() const { return port_; }

private:
    std::filesystem::path out_;
    testsupport::ChildProcess process_;
    std::uint16_t port_ = 0;
};

// `tirvel-line --records URI token add NAME`: the token it printed.
std::string MakeToken(const std::string& program, const std::string& uri,
                      const std::filesystem::path& dir);

}  // namespace bench
