// Simulated devices on several ports of a case's folder: simulator k on the
// link dtuK, its devices' IMEIs counting up from 86000000000(k+1)001, its
// events in eventsK.jsonl.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "SimProcess.h"

namespace testsupport {

class SimulatedPorts {
public:
    explicit SimulatedPorts(std::filesystem::path folder) : folder_(std::move(folder)) {}

    void Start(int count, const std::vector<std::string>& options) {
        for (int k = 0; k < count; ++k) {
            std::vector<std::string> args = options;
            args.insert(args.begin(),
                        {"--link", Link(k), "--events", Events(k).string(), "--imei",
                         "86000000000" + std::to_string(k + 1) + "001", "--boot-ms", "200"});
            sims_.push_back(std::make_unique<SimProcess>(args));
        }
    }
    std::string Link(int k) const { return (folder_ / ("dtu" + std::to_string(k))).string(); }
    std::filesystem::path Events(int k) const {
        return folder_ / ("events" + std::to_string(k) + ".jsonl");
    }
    // "--device LINK" for the first count simulators.
    std::vector<std::string> DeviceArguments(int count) const {
        std::vector<std::string> args;
        for (int k = 0; k < count; ++k) {
            args.insert(args.end(), {"--device", Link(k)});
        }
        return args;
    }

private:
    std::filesystem::path folder_;
    std::vector<std::unique_ptr<SimProcess>> sims_;
};

}  // namespace testsupport
