#include "LineServer.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "FreePort.h"

namespace testsupport {

namespace {

std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

LineServer::LineServer(const std::string& program, const std::string& recordsUri)
    : program_(program), uri_(recordsUri), port_(FreeLoopbackPort()) {
    http_ = std::make_unique<HttpClient>("127.0.0.1", port_, std::chrono::seconds(30));
    Start();
}

void LineServer::Start() {
    process_ = std::make_unique<ChildProcess>(
        program_,
        std::vector<std::string>{"--records", uri_, "--listen",
                                 "127.0.0.1:" + std::to_string(port_)},
        scratch_.Path() / "line.out", scratch_.Path() / "line.err");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        try {
            if (http_->Get("/login").status == 200) {
                return;
            }
        } catch (const std::runtime_error&) {
            // Not listening yet.
        }
        if (!process_->Running() || std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("tirvel-line did not come up: " + Output());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void LineServer::Restart() {
    process_.reset();
    Start();
}

void LineServer::AddUser(const std::string& name, const std::string& role,
                         const std::string& password) {
    const auto input = scratch_.Path() / "password";
    std::ofstream(input) << password << "\n";
    ChildProcess add(program_, {"--records", uri_, "user", "add", name, "--role", role},
                     scratch_.Path() / "user.out", scratch_.Path() / "user.err", input);
    if (add.Wait(std::chrono::seconds(60)) != 0) {
        throw std::runtime_error("tirvel-line user add " + name +
                                 " failed: " + FileText(scratch_.Path() / "user.err"));
    }
}

std::string LineServer::AddToken(const std::string& name) {
    ChildProcess add(program_, {"--records", uri_, "token", "add", name},
                     scratch_.Path() / "token.out", scratch_.Path() / "token.err");
    if (add.Wait(std::chrono::seconds(60)) != 0) {
        throw std::runtime_error("tirvel-line token add " + name +
                                 " failed: " + FileText(scratch_.Path() / "token.err"));
    }
    std::istringstream printed(FileText(scratch_.Path() / "token.out"));
    std::string token;
    printed >> token;
    if (token.empty()) {
        throw std::runtime_error("tirvel-line token add " + name + " printed no token");
    }
    return token;
}

std::string LineServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string LineServer::Output() const {
    return FileText(scratch_.Path() / "line.out") + FileText(scratch_.Path() / "line.err");
}

}  // namespace testsupport
