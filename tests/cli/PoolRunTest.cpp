// tirvelctl's batch and apply drawing each device's row from a value pool,
// against simulated devices: which row each device holds, as its simulator
// stored it, and what the pool says of the row afterwards.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include "SimProcess.h"
#include "SimRecords.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "ToolRunTest.h"
#include "framework/CodePage.h"
#include "records/SqlitePoolStore.h"
#include "records/SqliteRecordStore.h"

namespace {

using records::PoolRowState;
using testsupport::Contains;

constexpr const char* kFirst = "860000000001001";

class PoolRun : public testsupport::ToolRunTest {
protected:
    void SetUp() override {
        ToolRunTest::SetUp();
        testsupport::WriteFile(Profile(), "[CFG]\r\n14. Register Data=reg-{imei:-4}\r\n");
    }

    // A simulator on the link dtuK whose devices count up from imei.
    void StartSimulator(int k, const std::string& imei, std::vector<std::string> options) {
        options.insert(options.begin(), {"--link", Link(k), "--events", Events(k).string(),
                                         "--imei", imei, "--boot-ms", "200"});
        sims_.push_back(std::make_unique<testsupport::SimProcess>(options));
    }
    void StopSimulators() { sims_.clear(); }
    std::string Link(int k) const { return (dir_.Path() / ("dtu" + std::to_string(k))).string(); }
    fs::path Events(int k) const { return dir_.Path() / ("events" + std::to_string(k) + ".jsonl"); }
    fs::path Profile() const { return dir_.Path() / "profile.txt"; }
    std::string Db() const { return (dir_.Path() / "r.db").string(); }

    // The pool "ids": item 2 and item 28 of each row, rows counted from 1.
    void ImportPool(int rows) {
        std::ofstream csv(dir_.Path() / "ids.csv");
        csv << "2,28\n";
        for (int i = 1; i <= rows; ++i) {
            csv << "apn-" << i << "," << 1000 + i << "\n";
        }
        csv.close();
        const auto imported = Run({"pool", "import", "ids", (dir_.Path() / "ids.csv").string()});
        ASSERT_EQ(imported.exit, 0) << imported.err;
    }

    testsupport::RunResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--records", "sqlite:" + Db(), "--station", "st1"});
        return Finish(*StartRun(TIRVELCTL_PATH, args), 2min);
    }

    // The pool's row tied to the IMEI; its state "none" when there is none.
    records::PoolRow RowOf(const std::string& imei) {
        for (const records::PoolRow& row : records::SqlitePoolStore(Db()).ForImei(imei)) {
            return row;
        }
        return records::PoolRow{};
    }
    records::PoolStatus Status() { return records::SqlitePoolStore(Db()).Status("ids"); }

    // What the simulator on link k last stored of an item, by what it was
    // told: as text, or ("new") its bytes in hex.
    std::string Stored(int k, int item, const char* as = "new_text") const {
        std::string value = "-";
        for (const Json& e : testsupport::EventsOf(Events(k), "set")) {
            if (e["item"] == item) {
                value = e[as];
            }
        }
        return value;
    }
    std::size_t Sets(int k) const { return testsupport::EventsOf(Events(k), "set").size(); }

    std::vector<std::unique_ptr<testsupport::SimProcess>> sims_;
};

// Device after device, each its own row, in the pool's order; the record
// names the row, and the pool knows the row is on the device.
TEST_F(PoolRun, EachDeviceOfABatchHoldsItsOwnRowAndThePoolKnowsIt) {
    ImportPool(3);
    StartSimulator(0, kFirst, {"--devices", "2"});
    const auto run =
        Run({"--device", Link(0), "batch", Profile().string(), "--pool", "ids", "--count", "2"});
    ASSERT_EQ(run.exit, 0) << run.err;

    const std::set<std::string> imeis{kFirst, "860000000001002"};
    int k = 1;
    for (const std::string& imei : imeis) {
        SCOPED_TRACE(imei);
        const records::PoolRow row = RowOf(imei);
        EXPECT_EQ(row.id, k);
        EXPECT_EQ(row.state, PoolRowState::Written);
        EXPECT_EQ(row.station, "st1");
        ++k;
    }
    EXPECT_EQ(Stored(0, 2), "apn-2");
    EXPECT_EQ(Stored(0, 28), "1002");
    const records::PoolStatus status = Status();
    EXPECT_EQ(status.written, 2);
    EXPECT_EQ(status.free, 1);
    EXPECT_EQ(status.tied, 0);

    records::SqliteRecordStore store(Db());
    records::RecordQuery query;
    query.imei = kFirst;
    const std::vector<records::DeviceRecord> found = store.Find(query);
    ASSERT_EQ(found.size(), 1u);
    const std::optional<records::DeviceRecord> record = store.Get(found[0].id);
    ASSERT_TRUE(record);
    std::map<int, std::string> sources;
    for (const records::RecordItem& item : record->items) {
        sources[item.number] = item.source;
    }
    EXPECT_EQ(sources, (std::map<int, std::string>{
                           {2, "pool ids row 1"}, {14, "pattern"}, {28, "pool ids row 1"}}));
}

// A Chinese device: the pool's file, its heading's keys and its cells are
// GB18030, and go to the device byte for byte.
TEST_F(PoolRun, AChineseDevicesRowGoesByteForByteInItsCodePage) {
    const auto gb = [](const std::string& utf8) {
        return fw::EncodeCodePage(utf8, fw::Language::Chinese);
    };
    testsupport::WriteFile(Profile(), gb("[CFG]\r\n14. 注册包数据=注册-{imei:-4}\r\n"));
    testsupport::WriteFile(dir_.Path() / "zh.csv", gb("2. APN接入点,28\n接入点一,1001\n"));
    ASSERT_EQ(Run({"--lang", "zh", "pool", "import", "zh", (dir_.Path() / "zh.csv").string()}).exit,
              0);
    StartSimulator(0, kFirst, {"--lang", "zh"});
    const auto run =
        Run({"--lang", "zh", "--device", Link(0), "apply", Profile().string(), "--pool", "zh"});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(Stored(0, 2, "new"), testsupport::Hex(gb("接入点一")));
    EXPECT_EQ(Stored(0, 14, "new"), testsupport::Hex(gb("注册-1001")));
    EXPECT_EQ(Stored(0, 28), "1001");
}

// How a device's first try ends once it has its row: its read-back fails
// (the device refuses an item), or tirvelctl is killed as a machine dies
// while the row is being written.
enum class FirstTry { ReadBackFails, Killed };

class PoolRunAgain : public PoolRun, public ::testing::WithParamInterface<FirstTry> {};

// A row is tied before it is written: however the first try ends, the row
// stays the device's, and the device worked again gets that row, no other.
TEST_P(PoolRunAgain, ADeviceWorkedAgainGetsTheRowItsFirstTryDrew) {
    ImportPool(3);
    const std::vector<std::string> apply{"--records", "sqlite:" + Db(),   "--device", Link(0),
                                         "apply",     Profile().string(), "--pool",   "ids"};
    if (GetParam() == FirstTry::ReadBackFails) {
        StartSimulator(0, kFirst, {"--error-on", "28"});
        EXPECT_EQ(Finish(*StartRun(TIRVELCTL_PATH, apply), 2min).exit, 1);
    } else {
        StartSimulator(0, kFirst, {"--delay-command", "AT+SET", "--delay-one", "500"});
        auto run = StartRun(TIRVELCTL_PATH, apply);
        ASSERT_TRUE(
            testsupport::PollUntil([&] { return RowOf(kFirst).state == PoolRowState::Tied; }, 60s));
        run->Signal(SIGKILL);
        run->Wait(30s);
    }
    EXPECT_EQ(RowOf(kFirst).state, PoolRowState::Tied);
    EXPECT_EQ(Status().free, 2);

    StopSimulators();
    StartSimulator(1, kFirst, {});
    const auto again = Run({"--device", Link(1), "apply", Profile().string(), "--pool", "ids"});
    ASSERT_EQ(again.exit, 0) << again.err;
    const records::PoolRow row = RowOf(kFirst);
    EXPECT_EQ(row.id, 1);
    EXPECT_EQ(row.state, PoolRowState::Written);
    EXPECT_EQ(Stored(1, 28), "1001");
    EXPECT_EQ(Status().free, 2);
}

INSTANTIATE_TEST_SUITE_P(Ends, PoolRunAgain,
                         ::testing::Values(FirstTry::ReadBackFails, FirstTry::Killed),
                         [](const auto& info) {
                             return info.param == FirstTry::Killed ? "Killed" : "ReadBackFails";
                         });

struct NothingWritten {
    const char* name;
    int rows;                      // in the pool
    std::vector<std::string> sim;  // the device's faults
    std::string csvHeader;         // empty: the usual pool
    const char* said;
    int devices;  // of the batch: the last is the one refused
    int taken;    // rows the devices before it took
};

class PoolRefusesTheDevice : public PoolRun,
                             public ::testing::WithParamInterface<NothingWritten> {};

// Whatever stops a device before its values are sent, it is written
// nothing, and the pool keeps every row free for another.
TEST_P(PoolRefusesTheDevice, BeforeAnythingIsWrittenAndEveryRowStaysFree) {
    const NothingWritten& c = GetParam();
    if (c.csvHeader.empty()) {
        ImportPool(c.rows);
    } else {
        testsupport::WriteFile(dir_.Path() / "odd.csv", c.csvHeader + "\nx\n");
        ASSERT_EQ(Run({"pool", "import", "ids", (dir_.Path() / "odd.csv").string()}).exit, 0);
    }
    StartSimulator(0, kFirst, c.sim);
    const auto run = Run({"--device", Link(0), "batch", Profile().string(), "--pool", "ids",
                          "--count", std::to_string(c.devices)});
    EXPECT_EQ(run.exit, 1) << run.err;
    EXPECT_TRUE(Contains(run.err + run.out, c.said)) << run.err << run.out;
    EXPECT_EQ(Status().free, c.rows - c.taken);
    // The devices before it had the profile's item and the row's two.
    EXPECT_EQ(Sets(0), static_cast<std::size_t>(3 * c.taken));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PoolRefusesTheDevice,
    ::testing::Values(
        // The second device finds no row left.
        NothingWritten{"Empty", 1, {"--devices", "2"}, "", "Value pool \"ids\" is empty", 2, 1},
        // The IMEI the connection read is not what the device says when
        // asked again: another device's row is not given on a spoilt digit.
        NothingWritten{
            "ImeiInDoubt", 2, {"--garble-imei-read", "1"}, "", "did not read the same twice", 1, 0},
        // An item of the pool that this device does not have.
        NothingWritten{"ItemNotListed", 1, {}, "59", "\"59\"", 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// One spoilt reading of the IMEI, after a good one, is outvoted: the device
// gets its own row.
TEST_F(PoolRun, AnImeiSpoiltOnceWhenAskedAgainIsStillTheDevices) {
    ImportPool(1);
    StartSimulator(0, kFirst, {"--garble-imei-read", "2"});
    const auto run = Run({"--device", Link(0), "apply", Profile().string(), "--pool", "ids"});
    ASSERT_EQ(run.exit, 0) << run.err;
    EXPECT_EQ(RowOf(kFirst).state, PoolRowState::Written);
}

}  // namespace
