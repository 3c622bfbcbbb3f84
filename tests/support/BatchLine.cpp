#include "BatchLine.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "ChildProcess.h"
#include "SimProcess.h"
#include "TestFiles.h"

namespace testsupport {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono_literals;

namespace {

// The profile as the device should end up holding it: item number -> value
// bytes in hex, as the simulator logs them.
std::map<int, std::string> ProfileValues(const fs::path& profile) {
    std::map<int, std::string> values;
    for (const std::string& line : Lines(ReadFile(profile))) {
        const auto equals = line.find('=');
        if (equals == std::string::npos || line.empty() || line[0] == '[') {
            continue;
        }
        values[std::stoi(line)] = Hex(line.substr(equals + 1));
    }
    return values;
}

// Resident memory and open descriptors of a running process, from /proc.
struct ProcessFigures {
    long rssKiB = -1;
    int fds = -1;
};

ProcessFigures Measure(pid_t pid) {
    ProcessFigures figures;
    const fs::path proc = fs::path("/proc") / std::to_string(pid);
    std::ifstream status(proc / "status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            figures.rssKiB = std::stol(line.substr(6));
        }
    }
    std::error_code ec;
    int fds = 0;
    for (auto it = fs::directory_iterator(proc / "fd", ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        ++fds;
    }
    if (!ec) {
        figures.fds = fds;
    }
    return figures;
}

// Follows the events log as it grows, counting the devices switched on.
class PowerOnCounter {
public:
    explicit PowerOnCounter(fs::path file) : file_(std::move(file)) {}
    int Poll() {
        std::ifstream in(file_, std::ios::binary);
        in.seekg(offset_);
        for (std::string line; std::getline(in, line);) {
            if (in.eof()) {
                break;  // a line still being written: read it whole next time
            }
            offset_ += static_cast<std::streamoff>(line.size()) + 1;
            if (line.find("\"event\":\"power-on\"") != std::string::npos) {
                ++count_;
            }
        }
        return count_;
    }

private:
    fs::path file_;
    std::streamoff offset_ = 0;
    int count_ = 0;
};

void Record(std::vector<DeviceSample>& samples, int device, const ProcessFigures& f) {
    if (device < 1 || f.rssKiB < 0 || f.fds < 0) {
        return;
    }
    if (static_cast<int>(samples.size()) < device) {
        samples.resize(device, DeviceSample{{f.rssKiB, f.rssKiB}, {f.fds, f.fds}});
    }
    samples[device - 1].rssKiB.Widen(f.rssKiB);
    samples[device - 1].fds.Widen(f.fds);
}

template <typename T>
T Median(std::vector<T> values) {
    if (values.empty()) {
        return T{};
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The fewest devices a trend's end is judged on.
constexpr std::size_t kTrendDevices = 5;

template <typename T, typename Get>
T Growth(const std::vector<DeviceSample>& samples, Get get) {
    if (samples.size() < 2) {
        return T{};
    }
    // Device 1 also imports the profile; the trend starts with device 2. A
    // device's lowest figure depends on whether a sample happened to fall in
    // the moment between two devices (the port closed, its descriptor given
    // back): the median of several devices is the floor, one device is luck.
    const std::size_t first = 1;
    const std::size_t tenth = std::max<std::size_t>(kTrendDevices, (samples.size() - first) / 10);
    std::vector<T> head;
    std::vector<T> tail;
    for (std::size_t i = first; i < first + tenth && i < samples.size(); ++i) {
        head.push_back(get(samples[i]));
    }
    for (std::size_t i = samples.size() - tenth; i < samples.size(); ++i) {
        tail.push_back(get(samples[i]));
    }
    return Median(tail) - Median(head);
}

}  // namespace

fs::path WriteLineProfile(const fs::path& dir) {
    const fs::path profile = dir / "profile.txt";
    std::ofstream(profile) << "[CFG]\n2. APN=internet.m2m\n6. Server Port=8080\n";
    return profile;
}

long RssGrowthKiB(const std::vector<DeviceSample>& samples) {
    return Growth<long>(samples, [](const DeviceSample& s) { return s.rssKiB.min; });
}

int FdGrowth(const std::vector<DeviceSample>& samples) {
    // A device's fewest descriptors are the floor, or one more when no sample
    // fell in the moment between two devices: the error is one-sided, so the
    // floor is the fewest of many devices. Each half of the run (device 1,
    // which also imports the profile, left out) shows it; a leak raises the
    // later half's.
    if (samples.size() < 3) {
        return 0;
    }
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>((samples.size() + 1) / 2);
    auto fewest = [](auto from, auto to) {
        return std::min_element(from, to,
                                [](const DeviceSample& a, const DeviceSample& b) {
                                    return a.fds.min < b.fds.min;
                                })
            ->fds.min;
    };
    return fewest(middle, samples.end()) - fewest(samples.begin() + 1, middle);
}

BatchLineOutcome RunBatchLine(const BatchLineSettings& settings, const std::string& tirvelctlPath,
                              const fs::path& profile) {
    const fs::path link = settings.dir / "dtu";
    const fs::path events = settings.dir / "events.jsonl";
    const fs::path out = settings.dir / "batch.jsonl";
    const fs::path err = settings.dir / "batch.err";
    std::ostringstream rate;
    rate << settings.faultRate;
    std::vector<std::string> simArgs{"--link",       link.string(),
                                     "--events",     events.string(),
                                     "--devices",    std::to_string(settings.devices),
                                     "--fault-rate", rate.str(),
                                     "--seed",       std::to_string(settings.seed),
                                     "--boot-ms",    "200"};
    if (settings.noise > 0) {
        std::ostringstream noise;
        noise << settings.noise;
        simArgs.insert(simArgs.end(), {"--noise", noise.str()});
    }
    SimProcess sim(simArgs);

    BatchLineOutcome outcome;
    ChildProcess batch(
        tirvelctlPath,
        {"--device", link.string(), "--json", "--quiet", "batch", profile.string(), "--count",
         std::to_string(settings.devices), "--report", (settings.dir / "report.csv").string()},
        out, err);
    // A device takes about a second; a silent one the probe's 36 s.
    const auto deadline = std::chrono::steady_clock::now() + 60s + settings.devices * 40s;
    PowerOnCounter powered(events);
    while (batch.Running() && std::chrono::steady_clock::now() < deadline) {
        const ProcessFigures figures = Measure(batch.Pid());
        Record(outcome.samples, powered.Poll(), figures);
        std::this_thread::sleep_for(50ms);
    }
    outcome.exitCode = batch.Wait(1s);
    sim.Stop();

    const std::map<int, std::string> wanted = ProfileValues(profile);
    // What every device really stored, from the simulator's own log. Each
    // opening of the port is one row of the report: it powers the next device
    // on, unless the device goes before it boots.
    struct Session {
        std::string imei;
        std::string fault;
        std::map<int, std::string> stored;  // item -> hex, as the tool set it
    };
    std::vector<Session> sessions;
    std::map<int, std::string> factory;  // item -> hex before any set
    for (const std::string& line : Lines(ReadFile(events))) {
        if (line.empty()) {
            continue;
        }
        const Json e = Json::parse(line);
        const std::string kind = e.value("event", "");
        if (kind == "port-open") {
            sessions.emplace_back();
        } else if (sessions.empty()) {
            continue;
        } else if (kind == "power-on") {
            sessions.back().imei = e.value("imei", "");
            ++outcome.devicesPowered;
        } else if (kind == "fault") {
            sessions.back().fault = e.value("fault", "");
            ++outcome.faults[sessions.back().fault];
        } else if (kind == "set") {
            const int item = e.value("item", 0);
            sessions.back().stored[item] = e.value("new", "");
            factory.emplace(item, e.value("old", ""));
        }
    }

    for (const std::string& line : Lines(ReadFile(out))) {
        if (line.empty()) {
            continue;
        }
        const Json row = Json::parse(line);
        const int number = ++outcome.rows;
        const bool ok = row.value("ok", false);
        ok ? ++outcome.succeeded : ++outcome.failed;
        const std::string rowImei = row.value("imei", "");
        const std::string where = "row " + std::to_string(number) + " (" + rowImei + ")";
        if (number > static_cast<int>(sessions.size())) {
            outcome.mismatchedRows.push_back(where + ": the port was not opened for it");
            continue;
        }
        const Session& session = sessions[static_cast<std::size_t>(number - 1)];
        // A faulty line may spoil the IMEI of a device that then fails; an
        // OK, or any row of a healthy device, must name the device it was.
        const bool healthy = session.fault.empty() && settings.noise == 0;
        if (!rowImei.empty() && rowImei != session.imei && (ok || healthy)) {
            outcome.mismatchedRows.push_back(where + ": the line had " + session.imei);
        }
        if (ok) {
            int borne = 0;
            for (const auto& [item, hex] : wanted) {
                const auto set = session.stored.find(item);
                const auto before = factory.find(item);
                const std::string holds = set != session.stored.end() ? set->second
                                          : before != factory.end()   ? before->second
                                                                      : "(never set)";
                if (holds != hex) {
                    outcome.falseSuccesses.push_back(where + " item " + std::to_string(item) +
                                                     " holds " + holds + ", wanted " + hex);
                } else if (set != session.stored.end()) {
                    ++borne;
                }
            }
            // "Items written" may not claim more than the device took.
            if (row.value("written", 0) > borne) {
                outcome.falseSuccesses.push_back(
                    where + " claims " + std::to_string(row.value("written", 0)) +
                    " items written, the device took " + std::to_string(borne));
            }
        } else if (session.fault.empty()) {
            outcome.healthyFailures.push_back(where + ": " + row.value("message", ""));
        }
    }
    const std::vector<std::string> errLines = Lines(ReadFile(err));
    if (!errLines.empty()) {
        outcome.summary = errLines.back();
    }
    for (std::size_t i = errLines.size() > 20 ? errLines.size() - 20 : 0; i < errLines.size();
         ++i) {
        outcome.stderrTail += errLines[i] + "\n";
    }
    return outcome;
}

}  // namespace testsupport
