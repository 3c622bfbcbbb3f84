// What is the same on every system: the child's end, and cutting its output
// into lines.
#include <algorithm>

#include "station/WorkerProcess.h"

namespace station {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

WorkerProcess::~WorkerProcess() {
    CloseInput();
    bool running = false;
    {
        std::lock_guard lock(exitMutex_);
        running = !reaped_;
    }
    if (running) {
        Kill();
        Wait();
    }
    CloseOutput();
}

void WorkerProcess::CloseInput() {
    std::lock_guard lock(inputMutex_);
    CloseEnd(input_);
}

void WorkerProcess::Kill() {
    std::lock_guard lock(exitMutex_);
    if (!reaped_) {
        KillRunning();
    }
}

std::optional<std::string> WorkerProcess::ReadLine() {
    std::size_t searched = 0;
    for (;;) {
        const std::size_t newline = pending_.find('\n', searched);
        if (newline != std::string::npos && newline <= kMaxLine) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        // Cut only once a byte past the limit is in: a line of exactly the
        // limit whose '\n' has not arrived yet is still one line.
        if (pending_.size() > kMaxLine) {
            std::string piece = pending_.substr(0, kMaxLine);
            pending_.erase(0, kMaxLine);
            return piece;
        }
        if (outputEnded_ || output_ == -1) {
            if (pending_.empty()) {
                return std::nullopt;
            }
            std::string last = std::move(pending_);
            pending_.clear();
            if (last.back() == '\r') {
                last.pop_back();
            }
            return last;
        }
        searched = pending_.size();
        const std::size_t room = std::min(kReadChunk, kMaxLine + 1 - pending_.size());
        pending_.resize(searched + room);
        const std::size_t got = ReadOutput(pending_.data() + searched, room);
        pending_.resize(searched + got);
        if (got == 0) {
            outputEnded_ = true;
        }
    }
}

}  // namespace station
