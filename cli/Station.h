// The station on a terminal: the supervisor's events drawn as a board (or as
// plain lines where there is no terminal to redraw), its rows as the report,
// Ctrl+C once to finish and twice to cancel what is in flight.
#pragma once

#include <string>
#include <vector>

#include "cli/Console.h"
#include "job/LinePublisher.h"
#include "job/RecordsForwarding.h"
#include "station/PortList.h"
#include "station/Supervisor.h"

namespace cli {

struct StationSettings : station::SupervisorSettings {
    std::string reportPath;
    bool json = false;
};

// forwarding is woken by every row: the workers' records are in the file by then.
// publisher is given every change the board shows, and the end.
int RunStation(const std::vector<station::StationPort>& ports, const StationSettings& settings,
               Console& console, job::RecordsForwarding& forwarding, job::LinePublisher& publisher);

}  // namespace cli
