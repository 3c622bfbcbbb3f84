// Reading the simulator's --events log (one JSON object a line) while it runs.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

namespace simevents {

// Shared with the cases that read the log.
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;
using std::chrono::milliseconds;

inline std::vector<Json> ReadEvents(const fs::path& file) {
    std::vector<Json> events;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        events.push_back(Json::parse(line));
    }
    return events;
}

// The first event that matches, once it is there; null when none came in time.
inline Json WaitForEvent(const fs::path& file, const std::function<bool(const Json&)>& match,
                         milliseconds timeout = milliseconds(3000)) {
    const auto deadline = Clock::now() + timeout;
    do {
        for (const auto& e : ReadEvents(file)) {
            if (match(e)) {
                return e;
            }
        }
        std::this_thread::sleep_for(milliseconds(20));
    } while (Clock::now() < deadline);
    return Json();
}

inline std::function<bool(const Json&)> Named(std::string name) {
    return [name](const Json& e) { return e["event"] == name; };
}

inline std::function<bool(const Json&)> Named(std::string name, std::string key, Json value) {
    return [=](const Json& e) { return e["event"] == name && e[key] == value; };
}

}  // namespace simevents
