#include "station/StationJob.h"

#include <cstddef>

namespace station {

const char* JobCommand(StationJob job) {
    // In the order of StationJob.
    static constexpr const char* kCommands[] = {"update", "send", "batch"};
    return kCommands[static_cast<std::size_t>(job)];
}

}  // namespace station
