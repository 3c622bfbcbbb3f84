#include "SimRecords.h"

#include "TestFiles.h"

namespace testsupport {

std::vector<nlohmann::json> EventsOf(const std::filesystem::path& events, const std::string& kind) {
    std::vector<nlohmann::json> found;
    for (const std::string& line : Lines(ReadFile(events))) {
        if (line.empty()) {
            continue;
        }
        nlohmann::json e = nlohmann::json::parse(line);
        if (kind.empty() || e["event"] == kind) {
            found.push_back(std::move(e));
        }
    }
    return found;
}

std::vector<nlohmann::json> EventsSoFar(const std::filesystem::path& events,
                                        const std::string& kind) {
    std::vector<nlohmann::json> found;
    for (const std::string& line : Lines(ReadFile(events))) {
        auto e = nlohmann::json::parse(line, nullptr, false);
        if (!e.is_discarded() && e.value("event", "") == kind) {
            found.push_back(std::move(e));
        }
    }
    return found;
}

std::string ReceivedBytes(const std::vector<nlohmann::json>& rxEvents) {
    std::string bytes;
    for (const nlohmann::json& e : rxEvents) {
        const std::string hex = e.value("hex", "");
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
            bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        }
    }
    return bytes;
}

std::map<int, std::string> StoredValues(const std::filesystem::path& state) {
    std::map<int, std::string> values;
    for (const std::string& line : Lines(ReadFile(state))) {
        const auto first = line.find(',');
        const auto second = line.find(',', first + 1);
        if (first != std::string::npos && second != std::string::npos) {
            values[std::stoi(line.substr(0, first))] = line.substr(second + 1);
        }
    }
    return values;
}

}  // namespace testsupport
