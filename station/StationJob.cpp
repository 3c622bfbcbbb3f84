#include "station/StationJob.h"

namespace station {

const char* JobCommand(StationJob job) {
    switch (job) {
        case StationJob::Update:
            return "update";
        case StationJob::Send:
            return "send";
        case StationJob::Batch:
            return "batch";
    }
    return "";
}

}  // namespace station
