#include "station/StationEvents.h"

#include <array>
#include <nlohmann/json.hpp>

#include "common/AsciiText.h"

namespace station {

// A row travels as an object of its fields, by their names.
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE(DeviceRow, port, time, imei, version, ok, written, bytes,
                                   message)

namespace {

using Json = nlohmann::json;

constexpr std::array kKinds{"step", "identity", "claim", "transfer", "message", "end", "values"};
constexpr std::array kSteps{"waiting", "connected", "writing", "checking", "sending"};
constexpr std::array kOutcomes{"done",    "no-device",  "port-failed",
                               "surplus", "job-failed", "interrupted"};

template <typename Enum, std::size_t N>
std::optional<Enum> Named(const std::array<const char*, N>& names, const std::string& name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (name == names[i]) {
            return static_cast<Enum>(i);
        }
    }
    return std::nullopt;
}

template <typename Enum, std::size_t N>
const char* NameOf(const std::array<const char*, N>& names, Enum value) {
    return names.at(static_cast<std::size_t>(value));
}

}  // namespace

std::string EncodeEvent(const StationEvent& event) {
    Json j;
    j["event"] = NameOf(kKinds, event.kind);
    switch (event.kind) {
        case StationEvent::Kind::Step:
            j["step"] = NameOf(kSteps, event.step);
            j["detail"] = event.detail;
            break;
        case StationEvent::Kind::Identity:
            j["imei"] = event.imei;
            j["version"] = event.version;
            break;
        case StationEvent::Kind::Transfer:
            j["done"] = event.done;
            j["total"] = event.total;
            break;
        case StationEvent::Kind::Message:
            j["text"] = event.text;
            break;
        case StationEvent::Kind::Values:
            j["source"] = event.source;
            break;
        case StationEvent::Kind::End:
            j["outcome"] = NameOf(kOutcomes, event.outcome);
            if (event.row) {
                j["row"] = *event.row;
            }
            break;
        case StationEvent::Kind::Claim:
            break;
    }
    // Texts are UTF-8 from the string table and shown device text; anything
    // else is replaced rather than ending the worker.
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<StationEvent> DecodeEvent(const std::string& line) {
    if (line.empty() || line.front() != '{') {
        return std::nullopt;
    }
    const Json j = Json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object() || !j.contains("event") || !j["event"].is_string()) {
        return std::nullopt;
    }
    const auto kind = Named<StationEvent::Kind>(kKinds, j["event"].get<std::string>());
    if (!kind) {
        return std::nullopt;
    }
    StationEvent event;
    event.kind = *kind;
    try {
        switch (event.kind) {
            case StationEvent::Kind::Step: {
                const auto step = Named<DeviceStep>(kSteps, j.at("step").get<std::string>());
                if (!step) {
                    return std::nullopt;
                }
                event.step = *step;
                event.detail = j.at("detail").get<int>();
                break;
            }
            case StationEvent::Kind::Identity:
                event.imei = j.at("imei").get<std::string>();
                event.version = j.at("version").get<std::string>();
                break;
            case StationEvent::Kind::Transfer:
                event.done = j.at("done").get<std::int64_t>();
                event.total = j.at("total").get<std::int64_t>();
                break;
            case StationEvent::Kind::Message:
                event.text = j.at("text").get<std::string>();
                break;
            case StationEvent::Kind::Values:
                event.source = j.at("source").get<std::string>();
                break;
            case StationEvent::Kind::End: {
                const auto outcome =
                    Named<DeviceOutcome>(kOutcomes, j.at("outcome").get<std::string>());
                if (!outcome) {
                    return std::nullopt;
                }
                event.outcome = *outcome;
                if (j.contains("row")) {
                    event.row = j["row"].get<DeviceRow>();
                }
                break;
            }
            case StationEvent::Kind::Claim:
                break;
        }
    } catch (const Json::exception&) {
        return std::nullopt;  // a field missing or of the wrong type
    }
    return event;
}

std::string EncodePasswordLine(const std::optional<std::string>& password) {
    if (!password) {
        return "-";
    }
    return "p" + LowerHex(*password);
}

std::optional<std::string> DecodePasswordLine(const std::string& line) {
    // The supervisor writes lower case: anything else is no password line.
    if (line.empty() || line[0] != 'p' || line.find_first_of("ABCDEF") != std::string::npos) {
        return std::nullopt;
    }
    return FromHex(std::string_view(line).substr(1));
}

}  // namespace station
