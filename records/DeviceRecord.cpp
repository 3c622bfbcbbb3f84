#include "records/DeviceRecord.h"

#include <iterator>
#include <string_view>

namespace records {

namespace {

// In the order of Result.
constexpr const char* kResultNames[] = {"ok", "failed", "interrupted"};

}  // namespace

const char* ResultName(Result result) {
    return kResultNames[static_cast<std::size_t>(result)];
}

std::optional<Result> ParseResult(const std::string& name) {
    for (std::size_t i = 0; i < std::size(kResultNames); ++i) {
        if (name == kResultNames[i]) {
            return static_cast<Result>(i);
        }
    }
    return std::nullopt;
}

std::optional<std::string> ParseRecordsTime(const std::string& text) {
    std::string given = text;
    if (!given.empty() && (given.back() == 'Z' || given.back() == 'z')) {
        given.pop_back();
    }
    if (given.size() > 10 && given[10] == ' ') {
        given[10] = 'T';
    }
    // '9' stands for a digit; what a form leaves out is filled in.
    constexpr std::string_view kFull = "9999-99-99T99:99:99.999";
    constexpr std::string_view kFill = "0000-00-00T00:00:00.000";
    const bool known = given.size() == 10 || given.size() == 16 || given.size() == 19 ||
                       given.size() == kFull.size();
    if (!known) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < given.size(); ++i) {
        const bool digit = given[i] >= '0' && given[i] <= '9';
        if (kFull[i] == '9' ? !digit : given[i] != kFull[i]) {
            return std::nullopt;
        }
    }
    std::string time = given + std::string(kFill.substr(given.size())) + "Z";
    const auto field = [&](std::size_t at) { return std::stoi(time.substr(at, 2)); };
    if (field(5) < 1 || field(5) > 12 || field(8) < 1 || field(8) > 31 || field(11) > 23 ||
        field(14) > 59 || field(17) > 60) {
        return std::nullopt;
    }
    return time;
}

}  // namespace records
