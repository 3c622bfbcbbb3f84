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

using Json = nlohmann::json;

inline std::vector<Json> ReadEvents(const std::filesystem::path& file) {
    std::vector<Json> events;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        events.push_back(Json::parse(line));
    }
    return events;
}

// The first event that matches, once it is there; null when none came in time.
inline Json WaitForEvent(const std::filesystem::path& file,
                         const std::function<bool(const Json&)>& match,
                         std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        for (const auto& e : ReadEvents(file)) {
            if (match(e)) {
                return e;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return Json();
}

inline std::function<bool(const Json&)> Named(std::string name) {
    return [name](const Json& e) { return e["event"] == name; };
}

inline std::function<bool(const Json&)> Named(std::string name, std::string key, Json value) {
    return [=](const Json& e) { return e["event"] == name && e[key] == value; };
}

}  // namespace simevents
