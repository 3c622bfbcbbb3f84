// The live changes of the line, handed to every open event stream: the
// latest state of each station, told to each browser once per change. A new
// stream starts with every station's latest, so that nothing that changed
// between a page's first look and its stream is missed.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "line/EventStream.h"

namespace line {

class EventHub {
public:
    // A station as /api/v1/stations gives it: told to every stream, and kept
    // for the streams that open later. Unchanged (but for its heartbeat), it
    // is kept and not told again.
    void Station(const nlohmann::json& station);
    // A comment line to every stream: a client gone is found so, and proxies
    // keep the stream open.
    void KeepAlive();
    // A new stream, fed from now on.
    std::shared_ptr<EventStream> Open();
    // Ends every stream (before the server stops).
    void Close();

    std::size_t Streams();

private:
    void Tell(const std::string& text);

    std::mutex mutex_;
    std::map<std::string, nlohmann::json> latest_;
    std::vector<std::shared_ptr<EventStream>> streams_;
    bool closed_ = false;
};

// One Server-Sent Event.
std::string EventText(const std::string& name, const nlohmann::json& data);

}  // namespace line
