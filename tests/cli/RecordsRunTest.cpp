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
#include <thread>

#include "PostgresServer.h"
#include "SimulatedPorts.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "ToolRunTest.h"
#include "common/Sha256.h"
#include "records/SqlitePoolStore.h"
#include "records/SqliteRecordStore.h"

namespace {

using records::DeviceRecord;
using records::Result;
using testsupport::ReadFile;

const std::string kProfile =
    (fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt").string();

class RecordsRun : public testsupport::ToolRunTest {
protected:
    void StartSimulators(int count, const std::vector<std::string>& options) {
        ports_.Start(count, options);
    }
    std::string LinkOf(int k) const { return ports_.Link(k); }
    fs::path EventsOf(int k) const { return ports_.Events(k); }

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

    testsupport::SimulatedPorts ports_{dir_.Path()};
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
    StartSimulators(1, {"--devices", "1", "--reply-delay", "50"});
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
    const std::vector<std::string> devices = ports_.DeviceArguments(3);
    args.insert(args.end(), devices.begin(), devices.end());
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

// A single update's view reads the image itself; the record still names it
// by the digest and size of what the file holds.
TEST_F(RecordsRun, AnUpdateNamesItsImageByDigestAndSize) {
    StartSimulators(1, {"--devices", "1"});
    const std::string image = std::string(128 * 20 + 7, '\x5A') + "tail";
    testsupport::WriteFile(dir_.Path() / "fw.bin", image);
    const auto result =
        Run(With({"--device", LinkOf(0), "update", (dir_.Path() / "fw.bin").string()}));
    ASSERT_EQ(result.exit, 0) << result.err;
    const std::vector<DeviceRecord> kept = Kept();
    ASSERT_EQ(kept.size(), 1U);
    EXPECT_EQ(kept[0].command, "update");
    EXPECT_EQ(kept[0].result, Result::Ok);
    EXPECT_EQ(kept[0].firmwareSha256, common::Sha256::HexDigest(image));
    EXPECT_EQ(kept[0].firmwareBytes, std::optional<std::int64_t>(image.size()));
    EXPECT_TRUE(kept[0].imei.empty());
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
        // Without the records no device worked again could find its row.
        Refusal{"PoolWithRecordsOff",
                {"--records", "off", "batch", kProfile, "--pool", "ids"},
                2,
                "cannot be drawn from with the records off"},
        Refusal{"NoSuchRecord", {"records", "show", "nope"}, 1, "There is no record nope"},
        // An unset variable in a script gave every device's records.
        Refusal{"EmptyImei", {"records", "--imei", ""}, 2, "--imei is empty"},
        Refusal{"EmptyStation", {"records", "--station", ""}, 2, "--station is empty"},
        Refusal{"EmptyResult", {"records", "--result", ""}, 2, "--result is empty"},
        Refusal{"EmptySince", {"records", "--since", ""}, 2, "--since is empty"},
        Refusal{"EmptyUntil", {"--json", "records", "--until", ""}, 2, "--until is empty"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// A line's server behind the station's file: a PostgreSQL server of the
// case's own, which the case stops, kills and starts again.
class RecordsToAServer : public RecordsRun {
protected:
    void SetUp() override {
        RecordsRun::SetUp();
        if (const std::string why = testsupport::PostgresServer::Unavailable(); !why.empty()) {
            GTEST_SKIP() << why;
        }
        server_ = std::make_unique<testsupport::PostgresServer>();
        uri_ = server_->NewDatabase();
    }
    // The station's own file, where records wait for the server.
    std::string LocalFile() const { return (dir_.Path() / "data/tirvel/records.db").string(); }
    int OnServer(const std::string& where = "") const {
        // The schema is the first station's to make: none yet, none there.
        if (testsupport::PostgresServer::Scalar(
                uri_, "SELECT count(*) FROM pg_tables WHERE tablename = 'device_records'") == "0") {
            return 0;
        }
        return std::stoi(testsupport::PostgresServer::Scalar(
            uri_, "SELECT count(*) FROM device_records" + where));
    }

    std::unique_ptr<testsupport::PostgresServer> server_;
    std::string uri_;
};

TEST_F(RecordsToAServer, AStationWhoseServerIsKilledMidRunEndsWithEveryRecordThereOnce) {
    StartSimulators(3, {"--devices", "4"});
    std::vector<std::string> args = {"--records", uri_, "--station", "st-1"};
    const std::vector<std::string> devices = ports_.DeviceArguments(3);
    args.insert(args.end(), devices.begin(), devices.end());
    args.insert(args.end(), {"--json", "batch", kProfile, "--count", "12"});
    auto run = StartRun(TIRVELCTL_PATH, args);
    // Some devices done and sent; then the server dies under the line.
    ASSERT_TRUE(testsupport::PollUntil([&] { return OnServer() >= 2; }, 60s)) << ReadFile(Err());
    server_->Kill();
    std::this_thread::sleep_for(1500ms);
    server_->Start();
    const auto result = Finish(*run, 3min);
    ASSERT_EQ(result.exit, 0) << result.err;
    EXPECT_EQ(testsupport::Lines(result.out).size(), 12U) << result.out;

    // What the run left queued goes out by hand; nothing goes twice.
    const auto push = Run({"--records", uri_, "records", "push"});
    EXPECT_EQ(push.exit, 0) << push.err;
    EXPECT_EQ(OnServer(), 12);
    EXPECT_EQ(std::stoi(testsupport::PostgresServer::Scalar(
                  uri_, "SELECT count(DISTINCT id) FROM device_records")),
              12);
    EXPECT_EQ(
        std::stoi(testsupport::PostgresServer::Scalar(uri_, "SELECT count(*) FROM record_items")),
        12 * 5);
    records::SqliteRecordStore local(LocalFile());
    EXPECT_EQ(local.QueuedCount(), 0);
    // The same records on both stores, found by IMEI on each.
    for (const std::string& where : {uri_, "sqlite:" + LocalFile()}) {
        const auto found =
            Run({"--records", where, "--json", "records", "--imei", "860000000002003"});
        ASSERT_EQ(found.exit, 0) << found.err;
        const Json list = Json::parse(found.out);
        ASSERT_EQ(list.size(), 1U) << where;
        EXPECT_EQ(list[0]["result"], "ok");
        EXPECT_EQ(list[0]["station"], "st-1");
    }
}

// What the station's board showed is left on the line's server for the
// dashboard: the job, the counts at the end, and each port's last device.
TEST_F(RecordsToAServer, AStationLeavesItsLastStateOnTheLinesServer) {
    StartSimulators(2, {"--devices", "2"});
    std::vector<std::string> args = {"--records", uri_, "--station", "st-live"};
    const std::vector<std::string> devices = ports_.DeviceArguments(2);
    args.insert(args.end(), devices.begin(), devices.end());
    args.insert(args.end(), {"batch", kProfile, "--count", "4"});
    const auto result = Run(args);
    ASSERT_EQ(result.exit, 0) << result.err;
    const auto scalar = [&](const std::string& sql) {
        return testsupport::PostgresServer::Scalar(uri_, sql);
    };
    EXPECT_EQ(scalar("SELECT job || ' ' || file_name || ' ' || file_sha256 || ' ' || done || ' ' "
                     "|| failed || ' ' || count || ' ' || phase || ' ' || ports FROM "
                     "line_stations WHERE station = 'st-live'"),
              "batch " + kProfile + " " + common::Sha256::HexDigest(ReadFile(kProfile)) +
                  " 4 0 4 ended 2");
    EXPECT_EQ(scalar("SELECT sum(ok) || ' ' || sum(failed) FROM line_station_ports"), "4 0");
    // Each port shows the last device it worked, as its records say, or none:
    // a port that had begun to wait for one more when the count was reached
    // is cancelled, and its tile shows no device. The port of the job's last
    // device always shows it.
    ASSERT_EQ(Run({"--records", uri_, "records", "push"}).exit, 0);
    const std::string lastPort =
        scalar("SELECT port FROM device_records ORDER BY finished_at DESC LIMIT 1");
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(
            scalar("SELECT label FROM line_station_ports WHERE port_no = " + std::to_string(k)),
            LinkOf(k));
        const std::string imei =
            scalar("SELECT imei_text FROM line_station_ports WHERE port_no = " + std::to_string(k));
        const std::string last = scalar("SELECT imei_text FROM device_records WHERE port = '" +
                                        LinkOf(k) + "' ORDER BY finished_at DESC LIMIT 1");
        if (LinkOf(k) == lastPort || !imei.empty()) {
            EXPECT_EQ(imei, last);
        }
    }
}

// Two stations of a line draw from one pool on the line's server at once,
// the server dies and comes back under them, and then one station is
// killed: no row goes to two devices, and every device that passed holds
// the row tied to it, on the server or, for a tie made while it was gone,
// in its station's file.
TEST_F(RecordsToAServer, TwoStationsDrawingFromOnePoolGiveNoRowTwiceAcrossARestartAndAKill) {
    StartSimulators(4, {"--devices", "3"});
    const fs::path csv = dir_.Path() / "ids.csv";
    {
        std::ofstream rows(csv);
        rows << "2,28\n";
        for (int i = 1; i <= 20; ++i) {
            rows << "apn-" << i << "," << 1000 + i << "\n";
        }
    }
    ASSERT_EQ(Run({"--records", uri_, "pool", "import", "ids", csv.string()}).exit, 0);
    struct Started {
        std::unique_ptr<testsupport::ChildProcess> process;
        fs::path out;
        fs::path err;
    };
    const auto Station = [&](const std::string& name, int first) {
        // Each station its own file, as on a machine of its own.
        SetEnv("XDG_DATA_HOME", (dir_.Path() / name).string());
        std::vector<std::string> args{"--records", uri_,          "--station", name,
                                      "--device",  LinkOf(first), "--device",  LinkOf(first + 1),
                                      "--json",    "batch",       kProfile,    "--pool",
                                      "ids",       "--count",     "6"};
        Started run{StartRun(TIRVELCTL_PATH, args), Out(), Err()};
        return run;
    };
    Started a = Station("st-a", 0);
    Started b = Station("st-b", 2);
    const auto Written = [&] {
        return std::stoi(testsupport::PostgresServer::Scalar(
            uri_, "SELECT count(*) FROM value_pool_rows WHERE state = 'written'"));
    };
    ASSERT_TRUE(testsupport::PollUntil([&] { return Written() >= 2; }, 60s)) << ReadFile(a.err);
    server_->Kill();
    std::this_thread::sleep_for(1500ms);
    server_->Start();
    // And one station dies as a machine does, in the middle of a device.
    EXPECT_TRUE(testsupport::PollUntil(
        [&] { return testsupport::Lines(ReadFile(b.out)).size() >= 2; }, 60s));
    b.process->Signal(SIGKILL);
    a.process->Wait(3min);
    b.process->Wait(1min);
    const std::string outs[] = {ReadFile(a.out), ReadFile(b.out)};

    std::set<std::int64_t> rowsHeld;
    int passed = 0;
    for (int k = 0; k < 4; ++k) {
        const std::string station = k < 2 ? "st-a" : "st-b";
        const std::string local = (dir_.Path() / station / "tirvel/records.db").string();
        for (const std::string& line : testsupport::Lines(outs[k / 2])) {
            const Json row = Json::parse(line);
            if (row["port"] != LinkOf(k)) {
                continue;
            }
            const std::string imei = row["imei"];
            SCOPED_TRACE(imei);
            std::vector<records::PoolRow> tied = records::SqlitePoolStore(local).ForImei(imei);
            const std::string onServer = testsupport::PostgresServer::Scalar(
                uri_,
                "SELECT coalesce(max(row_no), 0) FROM value_pool_rows WHERE imei = "
                "convert_to('" +
                    imei + "', 'UTF8')");
            const std::int64_t id = onServer != "0" ? std::stoll(onServer)
                                    : tied.empty()  ? 0
                                                    : tied.front().id;
            if (!row["ok"].get<bool>()) {
                continue;
            }
            ++passed;
            ASSERT_NE(id, 0) << "an OK device with no row";
            EXPECT_TRUE(rowsHeld.insert(id).second) << "row " << id << " on two devices";
            EXPECT_EQ(SetValues(EventsOf(k), imei).at("28"), std::to_string(1000 + id));
        }
    }
    // The line did not stop for the server: the station left running did all.
    EXPECT_GE(passed, 7) << outs[0] << outs[1] << ReadFile(a.err) << ReadFile(b.err);
}

TEST_F(RecordsToAServer, AServerThatIsDownNeverStopsTheLineAndGetsTheQueueWhenBack) {
    StartSimulators(1, {"--devices", "2"});
    server_->Stop();
    const auto result =
        Run({"--records", uri_, "--device", LinkOf(0), "batch", kProfile, "--count", "2"});
    ASSERT_EQ(result.exit, 0) << result.err;
    EXPECT_EQ(records::SqliteRecordStore(LocalFile()).QueuedCount(), 2);

    const auto down = Run({"--records", uri_, "records", "push"});
    EXPECT_EQ(down.exit, 1);
    EXPECT_NE(down.err.find("2 records stay queued"), std::string::npos) << down.err;

    server_->Start();
    const auto back = Run({"--records", uri_, "records", "push"});
    EXPECT_EQ(back.exit, 0) << back.err;
    EXPECT_NE(back.err.find("2 records sent"), std::string::npos) << back.err;
    EXPECT_EQ(OnServer(" WHERE result = 'ok'"), 2);
}

}  // namespace

TEST_F(RecordsRun, APoolIsImportedOnceIntoTheRecordsFileAndLookedAtThere) {
    const fs::path csv = dir_.Path() / "ids.csv";
    std::ofstream(csv) << "2. APN,28\nnet1,17\nnet2,18\n";
    std::ofstream(dir_.Path() / "none.csv") << "2. APN\n";
    const auto run = [&](std::vector<std::string> args) { return Run(With(std::move(args))); };
    const auto imported = run({"pool", "import", "ids", csv.string()});
    EXPECT_EQ(imported.exit, 0) << imported.err;
    const auto again = run({"pool", "import", "ids", csv.string()});
    EXPECT_EQ(again.exit, 1);
    EXPECT_TRUE(testsupport::Contains(again.err, "A value pool named \"ids\" exists already"))
        << again.err;
    const auto empty = run({"pool", "import", "none", (dir_.Path() / "none.csv").string()});
    EXPECT_TRUE(testsupport::Contains(empty.err, "none.csv holds no rows")) << empty.err;
    const auto unknown = run({"pool", "status", "nope"});
    EXPECT_EQ(unknown.exit, 1);
    EXPECT_TRUE(testsupport::Contains(unknown.err, "No value pool named \"nope\"")) << unknown.err;

    const Json status = Json::parse(run({"--json", "pool", "status", "ids"}).out);
    EXPECT_EQ(status["columns"], Json::array({"2. APN", "28"}));
    EXPECT_EQ(status["rows"], 2);
    EXPECT_EQ(status["free"], 2);
    EXPECT_EQ(Json::parse(run({"--json", "pool", "list"}).out).size(), 1u);
    EXPECT_EQ(Json::parse(run({"--json", "pool", "show", "--imei", "860000000001001"}).out),
              Json::array());
    EXPECT_EQ(Run({"--records", "off", "pool", "list"}).exit, 2);

    records::SqlitePoolStore(Db()).Draw("ids", "860000000001001", "st2");
    const Json tied = Json::parse(run({"--json", "pool", "show", "--imei", "860000000001001"}).out);
    ASSERT_EQ(tied.size(), 1u);
    EXPECT_EQ(tied[0]["row"], 1);
    EXPECT_EQ(tied[0]["state"], "tied");
    EXPECT_EQ(tied[0]["station"], "st2");
    EXPECT_FALSE(tied[0].contains("cells"));
    const auto listed = run({"pool", "list"});
    EXPECT_TRUE(testsupport::Contains(listed.out, "ids   2     1     0        1")) << listed.out;
}
