// The batch on a long line of devices, a tenth of them faulty. The ctest run is
// short; bench/soak.sh runs the same case over 500 devices and keeps the
// figures (TIRVEL_SOAK_DEVICES, TIRVEL_SOAK_FAULT_RATE, TIRVEL_SOAK_SEED,
// TIRVEL_SOAK_SAMPLES: a CSV of memory and descriptors per device,
// TIRVEL_SOAK_KEEP: a folder to keep the events log, report and stderr in).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "BatchLine.h"
#include "SimProcess.h"
#include "ToolRunTest.h"

namespace {

using testsupport::EnvOr;

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += "  " + line + "\n";
    }
    return text;
}

using Soak = testsupport::ToolRunTest;

TEST_F(Soak, EveryDeviceIsReportedNoFalseSuccessAndNothingGrows) {
    testsupport::BatchLineSettings settings;
    settings.devices = std::stoi(EnvOr("TIRVEL_SOAK_DEVICES", "24"));
    settings.faultRate = std::stod(EnvOr("TIRVEL_SOAK_FAULT_RATE", "0.1"));
    settings.seed = static_cast<unsigned>(std::stoul(EnvOr("TIRVEL_SOAK_SEED", "11")));
    settings.dir = dir_.Path();

    const testsupport::BatchLineOutcome o = testsupport::RunBatchLine(
        settings, TIRVELCTL_PATH, TIRVEL_SOURCE_DIR "/cli/examples/apn-profile.txt");

    int faulty = 0;
    for (const auto& [name, count] : o.faults) {
        faulty += count;
        std::printf("fault %-40s %d\n", name.c_str(), count);
    }
    std::printf("devices %d, rows %d, ok %d, failed %d, faulty %d\n", o.devicesPowered, o.rows,
                o.succeeded, o.failed, faulty);
    if (!o.samples.empty()) {
        std::printf("rss KiB first %ld last %ld growth %ld; fds first %d last %d growth %d\n",
                    o.samples.front().rssKiB.min, o.samples.back().rssKiB.min,
                    testsupport::RssGrowthKiB(o.samples), o.samples.front().fds.min,
                    o.samples.back().fds.min, testsupport::FdGrowth(o.samples));
    }

    // The run's own files, for a look after the fact.
    const std::string keep = EnvOr("TIRVEL_SOAK_KEEP", "");
    if (!keep.empty()) {
        std::filesystem::create_directories(keep);
        std::filesystem::copy(dir_.Path(), keep,
                              std::filesystem::copy_options::overwrite_existing |
                                  std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::skip_symlinks);
    }

    // The per-device figures, for bench/soak.sh.
    const std::string samplesFile = EnvOr("TIRVEL_SOAK_SAMPLES", "");
    if (!samplesFile.empty()) {
        std::ofstream csv(samplesFile);
        csv << "device,min_rss_kib,max_rss_kib,min_fds,max_fds\n";
        for (std::size_t i = 0; i < o.samples.size(); ++i) {
            const testsupport::DeviceSample& d = o.samples[i];
            csv << i + 1 << ',' << d.rssKiB.min << ',' << d.rssKiB.max << ',' << d.fds.min << ','
                << d.fds.max << '\n';
        }
    }

    // Every device has its line in the report, in the order they came.
    EXPECT_EQ(o.rows, settings.devices) << o.stderrTail;
    EXPECT_EQ(o.devicesPowered, settings.devices);
    EXPECT_EQ(o.succeeded + o.failed, o.rows);
    EXPECT_TRUE(o.mismatchedRows.empty()) << Joined(o.mismatchedRows);
    // The one thing a production line must never see: "OK" for a device that
    // does not hold the profile.
    EXPECT_TRUE(o.falseSuccesses.empty()) << Joined(o.falseSuccesses);
    // A device without a fault is configured.
    EXPECT_TRUE(o.healthyFailures.empty()) << Joined(o.healthyFailures);
    // Exit 0 only when every device succeeded.
    EXPECT_EQ(o.exitCode, o.failed == 0 ? 0 : 1) << o.stderrTail;
    // Descriptors come back after each device: a leak shows as a rising floor.
    // The port's descriptor is open for nearly all of a device's time, so a
    // device's fewest is one less only when a sample fell between two devices;
    // the floor is the fewest over each half of the run.
    ASSERT_EQ(static_cast<int>(o.samples.size()), settings.devices);
    std::string fewest;
    for (const testsupport::DeviceSample& sample : o.samples) {
        fewest += " " + std::to_string(sample.fds.min);
    }
    EXPECT_LE(testsupport::FdGrowth(o.samples), 0) << "fewest descriptors per device:" << fewest;
}

}  // namespace
