// tirvel-station's command line, the same on every desktop:
//   tirvel-station [--lang en|zh] [-p PORTS | --device PATH ...]
//                  [--profile FILE | --firmware FILE] [--values FILE] [--pool NAME]
//                  [--count N] [--report FILE] [--start]
// (or --help, --version). It fills the form; --start then begins at once, and
// the form's own checks refuse bad values with the messages tirvelctl gives.
// What tirvelctl refuses on its line (the language, the count, the records
// setting) is refused here already, with the same check.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "framework/Language.h"
#include "station/view/StationView.h"

namespace app {

struct StationOptions {
    std::optional<fw::Language> language;
    // Only what the line names; the rest comes from the last job.
    std::optional<CStationView::Job> job;
    std::optional<std::string> file;
    std::optional<std::string> ports;
    std::optional<std::string> count;
    std::optional<std::string> report;
    std::optional<std::string> records;  // as tirvelctl's --records
    std::optional<std::string> values;   // as tirvelctl's --values
    std::optional<std::string> pool;     // as tirvelctl's --pool
    bool start = false;
    // Hidden, for the documentation's pictures: the window once some port has
    // a verdict while another still works (or the job has ended), then abort
    // and exit.
    std::string screenshot;
};

struct StationParseResult {
    StationOptions options;
    std::optional<int> exitStatus;  // set: print message and end
    std::string message;
};

// withScreenshot: the shell takes pictures of itself (--screenshot is known).
StationParseResult ParseStationCommandLine(const std::vector<std::string>& arguments,
                                           bool withScreenshot);

// The form the window opens with: the last job, then what the line names.
CStationView::JobForm MergeStationForm(CStationView::JobForm last, const StationOptions& options);

}  // namespace app
