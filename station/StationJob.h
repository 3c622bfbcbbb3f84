// What a station does on every port.
#pragma once

namespace station {

enum class StationJob { Update, Send, Batch };

// The subcommand of the workers that runs a job, as the command line names it.
const char* JobCommand(StationJob job);

}  // namespace station
