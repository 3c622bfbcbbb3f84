// Everything that happens on the bench is reported as one JSON object, so that
// tests and people can see exactly what reached the device and what it sent.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace kavrelsim {

using Millis = std::chrono::milliseconds;  // time since the simulator started
using Json = nlohmann::ordered_json;
using EventSink = std::function<void(const Json&)>;

// Hands the arguments to the handler (an event sink, a callback), where there
// is one.
template <class Handler, class... Args>
void Notify(const Handler& handler, const Args&... args) {
    if (handler) {
        handler(args...);
    }
}

// {"t": ms, "event": name}, then the fields in the order given; the caller
// may append more.
inline Json MakeEvent(Millis t, std::string_view name, const Json& fields = Json::object()) {
    Json e;
    e["t"] = t.count();
    e["event"] = name;
    e.update(fields);
    return e;
}

// next becomes t where t comes first.
template <class Time>
void KeepEarliest(std::optional<Time>& next, std::optional<Time> t) {
    if (t && (!next || *t < *next)) {
        next = t;
    }
}

}  // namespace kavrelsim
