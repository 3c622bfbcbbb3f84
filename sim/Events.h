// Everything that happens on the bench is reported as one JSON object, so that
// tests and people can see exactly what reached the device and what it sent.
#pragma once

#include <chrono>
#include <functional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kavrelsim {

using Millis = std::chrono::milliseconds;  // time since the simulator started
using Json = nlohmann::ordered_json;
using EventSink = std::function<void(const Json&)>;

// {"t": ms, "event": name}; further fields are appended by the caller.
inline Json MakeEvent(Millis t, std::string_view name) {
    Json e;
    e["t"] = t.count();
    e["event"] = name;
    return e;
}

}  // namespace kavrelsim
