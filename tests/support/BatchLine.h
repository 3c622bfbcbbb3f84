// A production line in miniature: tirvelctl batch over many simulated devices
// in series, some of them faulty, watched from outside. The outcome says what
// the report claimed, what the devices really stored, and how tirvelctl's
// memory and open descriptors moved from the first device to the last.
#pragma once

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

struct BatchLineSettings {
    int devices = 20;
    double faultRate = 0.1;
    unsigned seed = 1;
    std::filesystem::path dir;  // scratch: link, events log, report, outputs
    double noise = 0;           // every device's bytes spoilt at this rate (--noise)
};

// The least and the most a figure of tirvelctl's was seen at.
template <typename T>
struct Extremes {
    T min = 0;
    T max = 0;
    void Widen(T value) {
        min = std::min(min, value);
        max = std::max(max, value);
    }
};

// tirvelctl as seen while device N (1-based) was on the line.
struct DeviceSample {
    Extremes<long> rssKiB;
    Extremes<int> fds;
};

struct BatchLineOutcome {
    int exitCode = -1;
    int rows = 0;                              // report lines
    int devicesPowered = 0;                    // devices the simulator switched on
    int succeeded = 0;                         // rows with ok
    int failed = 0;                            // rows without
    std::map<std::string, int> faults;         // fault name -> devices that drew it
    std::vector<std::string> falseSuccesses;   // ok rows whose device lacks a value
    std::vector<std::string> healthyFailures;  // failed rows of fault-free devices
    std::vector<std::string> mismatchedRows;   // row IMEI is not the device's
    std::vector<DeviceSample> samples;         // index 0 is device 1
    std::string summary;                       // tirvelctl's last stderr line
    std::string stderrTail;                    // for failure messages
};

// The profile the lines of the fault tests apply, in dir: the APN and the
// server port.
std::filesystem::path WriteLineProfile(const std::filesystem::path& dir);

// Runs the whole batch; throws std::runtime_error when the run itself cannot
// be set up (no simulator, no tirvelctl).
BatchLineOutcome RunBatchLine(const BatchLineSettings& settings, const std::string& tirvelctlPath,
                              const std::filesystem::path& profile);

// Growth of the resident set from the first tenth of the run to the last
// (medians over at least five devices each), so that one slow device does not
// count as a trend.
long RssGrowthKiB(const std::vector<DeviceSample>& samples);
// Growth of the descriptors' floor from the first half of the run to the
// second: the fewest of each half.
int FdGrowth(const std::vector<DeviceSample>& samples);

}  // namespace testsupport
