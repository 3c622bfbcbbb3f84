// Hears the stations' changes from the line's server (LISTEN on the
// channel every station notifies) and tells the hub, on a thread of its own
// with a connection of its own. Besides, every few seconds, it reads all the
// stations once: a station that stopped being heard sends nothing, and goes
// offline only by the clock. A lost server is tried again, and every station
// read afresh once it answers.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "line/EventHub.h"

namespace line {

inline constexpr const char* kStateChannel = "tirvel_line";

class StateListener {
public:
    StateListener(std::string uri, EventHub& hub);
    ~StateListener();
    StateListener(const StateListener&) = delete;
    StateListener& operator=(const StateListener&) = delete;

    // Whether it is listening now (for the health check).
    bool Listening() const { return listening_; }

private:
    void Run();

    std::string uri_;
    EventHub& hub_;
    int stopPipe_[2] = {-1, -1};
    std::atomic<bool> listening_{false};
    std::thread thread_;
};

}  // namespace line
