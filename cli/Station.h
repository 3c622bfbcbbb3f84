// A station: one job (firmware update, bare send or batch) on several ports
// at once, each port worked by worker processes of this program, one device
// per worker, while this process keeps the board, the report and the count.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Console.h"
#include "cli/PortList.h"
#include "cli/StationWorker.h"

namespace cli {

struct StationSettings {
    StationJob job = StationJob::Update;
    std::string file;   // as the operator named it
    std::string bytes;  // what it held when the station began: what every worker gets
    int count = 0;      // devices in all; 0: one per port (update, send), until Ctrl+C (batch)
    std::string reportPath;
    bool json = false;
    std::optional<std::string> password;
    std::string program;   // this program, started as the workers
    std::string language;  // "en" or "zh", passed on to the workers
};

int RunStation(const std::vector<StationPort>& ports, const StationSettings& settings,
               Console& console);

// The worker's command line for one port, without the program; file is the
// copy the worker reads.
std::vector<std::string> WorkerArguments(const StationPort& port, const StationSettings& settings,
                                         const std::string& file);

}  // namespace cli
