#include "LineProcess.h"

#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace bench {

namespace {

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

LineProcess::LineProcess(const std::string& program, const std::string& uri,
                         const std::filesystem::path& dir)
    : out_(dir / "line.out"),
      process_(program, {"--records", uri, "--listen", "127.0.0.1:0"}, out_, dir / "line.err") {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    // It says where it serves once it does, in either language.
    const std::string at = "http://127.0.0.1:";
    while (Clock::now() < deadline && process_.Running()) {
        const std::string said = ReadAll(out_);
        if (const std::size_t found = said.find(at); found != std::string::npos) {
            port_ = static_cast<std::uint16_t>(std::stoi(said.substr(found + at.size())));
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error(program + " did not start; see " + (dir / "line.err").string());
}

LineProcess::~LineProcess() {
    process_.Signal(SIGTERM);
    process_.Wait(std::chrono::seconds(10));
}

std::string MakeToken(const std::string& program, const std::string& uri,
                      const std::filesystem::path& dir) {
    testsupport::ChildProcess made(program, {"--records", uri, "token", "add", "line-bench"},
                                   dir / "token.out", dir / "token.err");
    if (made.Wait(std::chrono::seconds(30)) != 0) {
        throw std::runtime_error("token add failed: " + ReadAll(dir / "token.err"));
    }
    std::istringstream said(ReadAll(dir / "token.out"));
    std::string token;
    said >> token;
    if (token.empty()) {
        throw std::runtime_error("token add printed no token");
    }
    return token;
}

}  // namespace bench
