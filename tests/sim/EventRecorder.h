// Collects the events a Device or Bench reports, for tests to look at.
#pragma once

#include <string_view>
#include <vector>

#include "Events.h"

namespace kavrelsim::testing {

class EventRecorder {
public:
    EventSink Sink() {
        return [this](const Json& e) { events.push_back(e); };
    }
    std::vector<Json> Named(std::string_view name) const {
        std::vector<Json> out;
        for (const auto& e : events) {
            if (e["event"] == name) {
                out.push_back(e);
            }
        }
        return out;
    }
    std::vector<Json> events;
};

}  // namespace kavrelsim::testing
