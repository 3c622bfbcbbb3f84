// What kavrel-sim leaves behind for the tests to check: its events log
// (--events) and the values it stored (--state).
#pragma once

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace testsupport {

// The events of one kind in the order they happened; all of them for "".
std::vector<nlohmann::json> EventsOf(const std::filesystem::path& events, const std::string& kind);
// The events of one kind while the simulator may still be writing: a line it
// has not finished is left out rather than taken for a broken log.
std::vector<nlohmann::json> EventsSoFar(const std::filesystem::path& events,
                                        const std::string& kind);
// The bytes the device received, in order, from its "rx" events.
std::string ReceivedBytes(const std::vector<nlohmann::json>& rxEvents);
// The --state file: item number -> value bytes.
std::map<int, std::string> StoredValues(const std::filesystem::path& state);

}  // namespace testsupport
