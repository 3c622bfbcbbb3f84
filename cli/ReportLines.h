// A run's report as the terminal shows it: a table of printable fields with
// its header, or one JSON line per device.
#pragma once

#include <functional>
#include <string>

#include "job/DeviceReport.h"

namespace cli {

// print takes each line; a report printed as JSON has no header.
void PrintReportLines(job::DeviceReport& report, bool json,
                      std::function<void(const std::string&)> print);

}  // namespace cli
