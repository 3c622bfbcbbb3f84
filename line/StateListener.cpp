#include "line/StateListener.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "line/LineQueries.h"
#include "records/PgConnection.h"
#include "records/RecordStore.h"

namespace line {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kSweep = std::chrono::seconds(2);
constexpr auto kKeepAlive = std::chrono::seconds(15);
}  // namespace

StateListener::StateListener(std::string uri, EventHub& hub) : uri_(std::move(uri)), hub_(hub) {
    if (pipe(stopPipe_) != 0) {
        throw std::runtime_error("cannot make a pipe");
    }
    thread_ = std::thread([this] { Run(); });
}

StateListener::~StateListener() {
    const char stop = 's';
    [[maybe_unused]] const ssize_t written = write(stopPipe_[1], &stop, 1);
    thread_.join();
    close(stopPipe_[0]);
    close(stopPipe_[1]);
}

void StateListener::Run() {
    auto wait = std::chrono::milliseconds(500);
    for (;;) {
        try {
            records::PgConnection db(uri_, std::chrono::seconds(5), std::chrono::seconds(10),
                                     stopPipe_[0]);
            db.Exec("SET TIME ZONE 'UTC'");
            db.Exec(std::string("LISTEN ") + kStateChannel);
            listening_ = true;
            wait = std::chrono::milliseconds(500);
            Clock::time_point sweep;  // at once: every station afresh
            Clock::time_point keepAlive = Clock::now() + kKeepAlive;
            for (;;) {
                const Clock::time_point now = Clock::now();
                if (now >= sweep) {
                    const nlohmann::json all = Stations(db);
                    for (const auto& station : all["stations"]) {
                        hub_.Station(station);
                    }
                    sweep = now + kSweep;
                }
                if (now >= keepAlive) {
                    hub_.KeepAlive();
                    keepAlive = now + kKeepAlive;
                }
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::min(sweep, keepAlive) - Clock::now());
                for (const std::string& name :
                     db.Notifications(std::max(left, std::chrono::milliseconds(1)))) {
                    const nlohmann::json station = OneStation(db, name);
                    if (!station.is_null()) {
                        hub_.Station(station);
                    }
                }
            }
        } catch (const std::exception&) {
            listening_ = false;
        }
        // Stopped, or the server lost: wait (for the stop, or to try again).
        pollfd fd = {stopPipe_[0], POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(wait.count())) > 0) {
            return;
        }
        wait = std::min(wait * 2, std::chrono::milliseconds(10000));
    }
}

}  // namespace line
