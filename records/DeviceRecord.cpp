#include "records/DeviceRecord.h"

#include <iterator>

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

}  // namespace records
