// What tirvelctl keeps of the devices it works: the real binary on simulated
// devices, its records read back from the file it wrote and checked against
// what each simulator saw.
#include <signal.h>
#include <sys/mount.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "SimProcess.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "ToolRunTest.h"
#include "records/SqliteRecordStore.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::chrono_literals;
using records::DeviceRecord;
using records::Result;
using testsupport::ReadFile;

const std::string kProfile =
    (fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt").string();

class RecordsRun : public testsupport::ToolRunTest {
protected:
    // Simulator k (0-based) on the link dtuK, its devices' IMEIs counting up
    // from 86000000000k001.
    void StartSimulators(int count, std::vector<std::string> options) {
        for (int k = 0; k < count; ++k) {
            std::vector<std::string> args = options;
            args.insert(args.begin(),
                        {"--link", LinkOf(k), "--events", EventsOf(k).string(), "--imei",
                         "86000000000" + std::to_string(k + 1) + "001", "--boot-ms", "200"});
            sims_.push_back(std::make_unique<testsupport::SimProcess>(args));
        }
    }
    std::string LinkOf(int k) const { return (dir_.Path() / ("dtu" + std::to_string(k))).string(); }
    fs::path EventsOf(int k) const {
        return dir_.Path() / ("events" + std::to_string(k) + ".jsonl");
    }

    std::string Db() const { return (dir_.Path() / "r.db").string(); }
    std::vector<std::string> With(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--records", "sqlite:" + Db()});
        return args;
    }
    testsupport::RunResult Run(const std::vector<std::string>& args,
                               std::chrono::milliseconds timeout = 2min) {
        auto run = StartRun(TIRVELCTL_PATH, args);
        return Finish(*run, timeout);
    }
    // Every record in the file, oldest first, with items.
    std::vector<DeviceRecord> Kept() const {
        records::SqliteRecordStore store(Db());
        std::vector<DeviceRecord> all;
        for (const DeviceRecord& listed : store.Find({})) {
            all.insert(all.begin(), *store.Get(listed.id));
        }
        return all;
    }

    std::vector<std::unique_ptr<testsupport::SimProcess>> sims_;
};

// The values the simulator's device held when it was last told to set each item.
std::map<std::string, std::string> SetValues(const fs::path& events, const std::string& imei) {
    std::map<std::string, std::string> values;
    std::string current;
    for (const Json& e : testsupport::EventsOf(events, "")) {
        if (e["event"] == "power-on") {
            current = e["imei"];
        } else if (e["event"] == "set" && current == imei) {
            values[std::to_string(e["item"].get<int>())] = e["new_text"];
        }
    }
    return values;
}

TEST_F(RecordsRun, ABatchLeavesAnOkRecordPerDeviceHoldingTheValuesAsReadBack) {
    StartSimulators(1, {"--devices", "3"});
    const auto result = Run(With({"--station", "line7-st2", "--operator", "Li Wei", "--device",
                                  LinkOf(0), "batch", kProfile, "--count", "3"}));
    ASSERT_EQ(result.exit, 0) << result.err;

    const std::vector<DeviceRecord> kept = Kept();
    ASSERT_EQ(kept.size(), 3U);
    std::set<std::string> ids;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const DeviceRecord& r = kept[i];
        SCOPED_TRACE(r.imei);
        EXPECT_EQ(r.imei, "86000000000100" + std::to_string(i + 1));
        EXPECT_EQ(r.result, Result::Ok);
        EXPECT_EQ(r.command, "batch");
        EXPECT_EQ(r.station, "line7-st2");
        EXPECT_EQ(r.operatorName, "Li Wei");
        EXPECT_EQ(r.port, LinkOf(0));
        EXPECT_EQ(r.profileName, kProfile);
        EXPECT_EQ(r.profileSha256.size(), 64U);
        EXPECT_EQ(r.toolVersion, TIRVEL_VERSION);
        EXPECT_LE(r.startedAt, r.finishedAt);
        ids.insert(r.id);
        // Every key of the profile, with what the device was told and holds.
        const std::map<std::string, std::string> told = SetValues(EventsOf(0), r.imei);
        ASSERT_EQ(r.items.size(), 5U);
        for (const records::RecordItem& item : r.items) {
            SCOPED_TRACE(item.name);
            ASSERT_TRUE(item.wanted && item.after);
            EXPECT_EQ(*item.after, *item.wanted);
            EXPECT_TRUE(item.written);
            EXPECT_EQ(told.at(std::to_string(item.number)), *item.wanted);
            EXPECT_NE(item.before, item.wanted);
        }
    }
    EXPECT_EQ(ids.size(), 3U);

    // Looked up by IMEI, as an operator would.
    const auto found = Run(With({"--json", "records", "--imei", "860000000001002"}));
    ASSERT_EQ(found.exit, 0) << found.err;
    const Json list = Json::parse(found.out);
    ASSERT_EQ(list.size(), 1U);
    EXPECT_EQ(list[0]["id"], kept[1].id);
    EXPECT_EQ(list[0]["result"], "ok");
    const auto shown = Run(With({"--json", "records", "show", kept[1].id}));
    ASSERT_EQ(shown.exit, 0) << shown.err;
    EXPECT_EQ(Json::parse(shown.out)["items"].size(), 5U);
}

TEST_F(RecordsRun, AFileThatIsNotARecordsDatabaseStopsTheRunBeforeAnyDeviceIsTouched) {
    StartSimulators(1, {"--devices", "1"});
    const std::string garbage(4096, '\x42');
    testsupport::WriteFile(Db(), garbage);
    const auto result = Run(With({"--device", LinkOf(0), "batch", kProfile, "--count", "1"}));
    EXPECT_EQ(result.exit, 1);
    EXPECT_NE(result.err.find("not a records database"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(Db()), garbage);
    EXPECT_TRUE(testsupport::EventsOf(EventsOf(0), "set").empty());
}

TEST_F(RecordsRun, ADeviceWhoseRecordCannotBeStoredIsNotReportedOk) {
    // A disk of its own that the case fills while the device is worked.
    const fs::path disk = dir_.Path() / "disk";
    fs::create_directories(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    struct Unmount {
        fs::path at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};
    const std::string db = (disk / "r.db").string();
    StartSimulators(1, {"--devices", "1", "--reply-delay", "50"});
    auto run = StartRun(TIRVELCTL_PATH,
                        {"--records", "sqlite:" + db, "--device", LinkOf(0), "batch", kProfile,
                         "--count", "1", "--report", (dir_.Path() / "report.csv").string()});
    ASSERT_TRUE(WaitForErr("IMEI", 30s)) << ReadFile(Err());
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    const auto result = Finish(*run, 2min);
    EXPECT_EQ(result.exit, 1) << result.err;
    EXPECT_NE(result.err.find("disk is full"), std::string::npos) << result.err;
    const std::string report = ReadFile(dir_.Path() / "report.csv");
    EXPECT_NE(report.find("failed"), std::string::npos) << report;
    EXPECT_EQ(report.find(",OK,"), std::string::npos) << report;
}

// Killed while it works a device: the device is on record as interrupted, or
// not at all; never OK.
class KilledRun : public RecordsRun, public ::testing::WithParamInterface<int> {};

TEST_P(KilledRun, LeavesNoOkRecordOfTheDeviceInFlight) {
    StartSimulators(1, {"--devices", "1", "--reply-delay", "150"});
    auto run =
        StartRun(TIRVELCTL_PATH, With({"--device", LinkOf(0), "batch", kProfile, "--count", "1"}));
    ASSERT_TRUE(WaitForErr("IMEI", 30s)) << ReadFile(Err());
    run->Signal(GetParam());
    Finish(*run, 1min);
    const std::vector<DeviceRecord> kept = Kept();
    for (const DeviceRecord& r : kept) {
        EXPECT_NE(r.result, Result::Ok) << r.message;
    }
    if (GetParam() == SIGINT) {
        // Ctrl+C lets it say so.
        ASSERT_EQ(kept.size(), 1U);
        EXPECT_EQ(kept[0].result, Result::Interrupted);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, KilledRun, ::testing::Values(SIGKILL, SIGINT),
                         [](const auto& info) { return info.param == SIGKILL ? "Kill" : "CtrlC"; });

TEST_F(RecordsRun, AStationsWorkersKeepEveryDeviceUnderTheSupervisorsNames) {
    StartSimulators(3, {"--devices", "2"});
    std::vector<std::string> args = {"--station", "st-9", "--operator", "op"};
    for (int k = 0; k < 3; ++k) {
        args.insert(args.end(), {"--device", LinkOf(k)});
    }
    args.insert(args.end(), {"batch", kProfile, "--count", "6"});
    const auto result = Run(With(args));
    ASSERT_EQ(result.exit, 0) << result.err;
    const std::vector<DeviceRecord> kept = Kept();
    ASSERT_EQ(kept.size(), 6U);
    std::set<std::string> imeis;
    for (const DeviceRecord& r : kept) {
        SCOPED_TRACE(r.imei);
        EXPECT_EQ(r.result, Result::Ok);
        EXPECT_EQ(r.station, "st-9");
        EXPECT_EQ(r.operatorName, "op");
        // The operator's file, not the workers' private copy of it.
        EXPECT_EQ(r.profileName, kProfile);
        // Each device on the port whose simulator made it.
        const int k = r.imei[11] - '1';
        ASSERT_TRUE(k >= 0 && k < 3);
        EXPECT_EQ(r.port, LinkOf(k));
        EXPECT_EQ(r.items.size(), 5U);
        imeis.insert(r.imei);
    }
    EXPECT_EQ(imeis.size(), 6U);
}

TEST_F(RecordsRun, OffKeepsNothing) {
    StartSimulators(1, {"--devices", "1"});
    const auto result =
        Run({"--records", "off", "--device", LinkOf(0), "batch", kProfile, "--count", "1"});
    ASSERT_EQ(result.exit, 0) << result.err;
    EXPECT_FALSE(fs::exists(dir_.Path() / "data"));
}

TEST_F(RecordsRun, ByDefaultRecordsGoToTheUsersDataFolder) {
    StartSimulators(1, {"--devices", "1"});
    const auto result = Run({"--device", LinkOf(0), "read"});
    ASSERT_EQ(result.exit, 0) << result.err;
    records::SqliteRecordStore store((dir_.Path() / "data/tirvel/records.db").string());
    const std::vector<DeviceRecord> found = store.Find({});
    ASSERT_EQ(found.size(), 1U);
    EXPECT_EQ(found[0].command, "read");
    EXPECT_EQ(store.Get(found[0].id)->items.size(), 40U);
}

struct Refusal {
    const char* name;
    std::vector<std::string> args;
    int exit;
    const char* said;
};

class RecordsRefusal : public RecordsRun, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RecordsRefusal, SaysWhy) {
    const auto result = Run(GetParam().args);
    EXPECT_EQ(result.exit, GetParam().exit);
    EXPECT_NE(result.err.find(GetParam().said), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, RecordsRefusal,
    ::testing::Values(
        Refusal{"UnknownStore", {"--records", "mysql://x", "records"}, 2, "Unknown records store"},
        Refusal{"BadTime", {"records", "--since", "yesterday"}, 2, "not \"yesterday\""},
        Refusal{"BadDate", {"records", "--until", "2026-13-01"}, 2, "2026-13-01"},
        Refusal{"BadResult", {"records", "--result", "good"}, 2, "Unknown result"},
        Refusal{"Off", {"--records", "off", "records"}, 2, "Records are off"},
        Refusal{"NoSuchRecord", {"records", "show", "nope"}, 1, "There is no record nope"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
