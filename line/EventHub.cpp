#include "line/EventHub.h"

#include <algorithm>

namespace line {

std::string EventText(const std::string& name, const nlohmann::json& data) {
    // dump() writes one line: an event's data never breaks.
    return "event: " + name + "\ndata: " + data.dump() + "\n\n";
}

namespace {
// What a station's heartbeat moves alone: not a change to tell.
nlohmann::json WithoutHeartbeat(nlohmann::json station) {
    station.erase("heartbeat_at");
    return station;
}
}  // namespace

void EventHub::Station(const nlohmann::json& station) {
    const std::string name = station.value("station", "");
    std::lock_guard lock(mutex_);
    auto it = latest_.find(name);
    if (it != latest_.end() && WithoutHeartbeat(it->second) == WithoutHeartbeat(station)) {
        it->second = station;
        return;
    }
    latest_[name] = station;
    Tell(EventText("station", station));
}

void EventHub::KeepAlive() {
    std::lock_guard lock(mutex_);
    Tell(": keep-alive\n\n");
}

void EventHub::Tell(const std::string& text) {
    streams_.erase(std::remove_if(streams_.begin(), streams_.end(),
                                  [&text](const std::shared_ptr<EventStream>& stream) {
                                      return !stream->Push(text);
                                  }),
                   streams_.end());
}

std::shared_ptr<EventStream> EventHub::Open() {
    std::lock_guard lock(mutex_);
    std::string first = "retry: 2000\n\n";
    for (const auto& [name, station] : latest_) {
        first += EventText("station", station);
    }
    auto stream = std::make_shared<EventStream>(std::move(first));
    if (closed_) {
        stream->Close();
    } else {
        streams_.push_back(stream);
    }
    return stream;
}

void EventHub::Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    for (const auto& stream : streams_) {
        stream->Close();
    }
    streams_.clear();
}

std::size_t EventHub::Streams() {
    std::lock_guard lock(mutex_);
    return streams_.size();
}

}  // namespace line
