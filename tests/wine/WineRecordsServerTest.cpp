// tirvelctl.exe on the line's server, through Windows' ODBC: under Wine,
// odbc32 hands the calls to unixODBC and the PostgreSQL ODBC driver, which
// reach a server this suite starts. What the Windows program reads there must
// be what the Linux program reads through libpq, field for field.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "PostgresTest.h"
#include "SampleRecord.h"
#include "TestFiles.h"
#include "ToolRunTest.h"
#include "WineSetup.h"
#include "records/PostgresPoolStore.h"
#include "records/PostgresRecordStore.h"

namespace {

using testsupport::PostgresServer;
using testsupport::RunResult;

class WineRecordsServer : public testsupport::PostgresTestOn<testsupport::ToolRunTest> {
protected:
    void SetUp() override {
        ToolRunTest::SetUp();
        const testsupport::WineSetup setup = testsupport::WineFromEnvironment();
        if (setup.bin.empty() || !fs::exists(setup.bin / "tirvelctl.exe")) {
            GTEST_SKIP() << "no Windows build: TIRVEL_WINDOWS_BIN must name the folder with "
                            "tirvelctl.exe (the windows preset's bin/)";
        }
        if (const auto missing = testsupport::WineMissing(setup)) {
            GTEST_SKIP() << *missing;
        }
        UseServer();
        if (IsSkipped()) {
            return;
        }
        wine_ = setup.wine;
        exe_ = setup.bin / "tirvelctl.exe";
        drawer_ = setup.bin.parent_path() / "tests" / "pool_drawer.exe";
        SetEnv("WINEDEBUG", "-all");
        SetEnv("LC_ALL", "C.UTF-8");
    }

    // The same command, by the Windows program and by this machine's.
    RunResult Windows(std::vector<std::string> args) {
        args.insert(args.begin(), {exe_.string(), "--records", Uri()});
        return Finish(*StartRun(wine_, args), 120s);
    }
    RunResult Linux(std::vector<std::string> args) {
        args.insert(args.begin(), {"--records", Uri()});
        return Finish(*StartRun(TIRVELCTL_PATH, args), 60s);
    }
    // Both must succeed and say the same; what they said.
    Json Alike(const std::vector<std::string>& args) {
        const RunResult windows = Windows(args);
        const RunResult linux = Linux(args);
        EXPECT_EQ(windows.exit, 0) << windows.err;
        EXPECT_EQ(linux.exit, 0) << linux.err;
        const Json said = Json::parse(linux.out, nullptr, false);
        EXPECT_EQ(Json::parse(windows.out, nullptr, false), said) << windows.out;
        return said;
    }

    // The Windows build's pool_drawer (tests/records) on the case's server:
    // its "ROW IMEI" lines. station: its file, to draw as a batch does.
    std::string WindowsDraws(std::vector<std::string> args, const fs::path& station = {}) {
        args.insert(args.begin(), {drawer_.string(), Uri()});
        if (!station.empty()) {
            args.insert(args.begin() + 1, "--line=Z:" + station.string());
        }
        const RunResult run = Finish(*StartRun(wine_, args), 120s);
        EXPECT_EQ(run.exit, 0) << drawer_ << ": " << run.err;
        std::string lines = run.out;
        std::erase(lines, '\r');
        return lines;
    }

    std::string wine_;
    fs::path exe_;
    fs::path drawer_;
};

// Values across the driver's 2048-character parts, empty bytes beside NULL,
// GB18030 bytes, a long Chinese message and a record without an image size:
// each a place where a reader of ODBC's rows goes wrong.
records::DeviceRecord AwkwardRecord() {
    records::DeviceRecord record =
        testsupport::SampleRecord("860000000000471", testsupport::SampleTime(500));
    record.message = std::string();
    for (int i = 0; i < 1200; ++i) {
        record.message += "设备";
    }
    record.firmwareBytes = std::nullopt;
    record.firmwareName.clear();
    for (const std::size_t length : {2047U, 2048U, 2049U, 4097U}) {
        std::string value(length, 'v');
        value.back() = 'z';
        record.items.push_back(
            {static_cast<int>(length % 60), "long", std::nullopt, value, value, true, ""});
    }
    std::string chinese;
    for (int i = 0; i < 1500; ++i) {
        chinese += testsupport::kGbValue;
    }
    record.items.push_back({9, testsupport::kGbName, std::string(), chinese, chinese, true, ""});
    return record;
}

TEST_F(WineRecordsServer, ReadsTheLineServerAsTheLinuxProgramDoes) {
    records::PostgresRecordStore line(Uri(), 10s);
    const records::DeviceRecord awkward = AwkwardRecord();
    line.Add(awkward);
    std::vector<records::DeviceRecord> added = testsupport::NumberedSeries(9);
    line.AddAll(added);
    added.insert(added.begin(), awkward);

    EXPECT_EQ(Alike({"--json", "records"}).size(), added.size());
    EXPECT_EQ(Alike({"--json", "records", "--imei", "860000000000471"}).size(), 1U);
    EXPECT_FALSE(
        Alike({"--json", "records", "--result", "failed", "--station", "station-1"}).empty());
    EXPECT_FALSE(Alike({"--json", "records", "--since", testsupport::SampleTime(3), "--until",
                        testsupport::SampleTime(7)})
                     .empty());
    for (const records::DeviceRecord& record : added) {
        SCOPED_TRACE(record.id);
        const Json shown = Alike({"--json", "records", "show", record.id});
        EXPECT_EQ(shown["items"].size(), record.items.size());
    }
    const Json shown = Alike({"--json", "records", "show", awkward.id});
    EXPECT_EQ(shown["message"], awkward.message);
    EXPECT_EQ(shown["items"][4]["after"].get<std::string>().size(), 2048U);
    EXPECT_EQ(shown["items"][7]["before"], "");
}

TEST_F(WineRecordsServer, ASchemaALaterVersionMadeIsRefused) {
    ASSERT_EQ(Windows({"records"}).exit, 0);
    PostgresServer::Scalar(Uri(), "INSERT INTO schema_migrations VALUES (99, now())");
    const RunResult refused = Windows({"records"});
    EXPECT_NE(refused.exit, 0);
    EXPECT_NE(refused.err.find("written by a later version of this program"), std::string::npos)
        << refused.err;
}

// Without the driver a station keeps its records, and says what is missing.
TEST_F(WineRecordsServer, AStationWithoutTheOdbcDriverSaysSo) {
    const fs::path empty = dir_.Path() / "odbc";
    fs::create_directories(empty);
    testsupport::WriteFile(empty / "odbcinst.ini", "");
    testsupport::WriteFile(empty / "odbc.ini", "");
    SetEnv("ODBCSYSINI", empty.string());
    const RunResult push = Windows({"records", "push"});
    EXPECT_EQ(push.exit, 1);
    EXPECT_NE(push.err.find("no PostgreSQL ODBC driver (psqlODBC) is installed"), std::string::npos)
        << push.err;
}

// A server that takes connections and never answers: the push ends at the
// connection's time limit, it does not hang the station.
TEST_F(WineRecordsServer, AServerThatNeverAnswersEndsThePushAtItsTimeLimit) {
    ASSERT_EQ(Windows({"records"}).exit, 0);
    Server().Pause();
    const RunResult push = Windows({"records", "push"});
    Server().Resume();
    EXPECT_EQ(push.exit, 1);
    EXPECT_NE(push.err.find("cannot be reached"), std::string::npos) << push.err;
}

// The Windows program imports a pool and the Windows store draws, writes and
// releases rows, all through ODBC: the Linux program reads the same, and the
// cells are the file's bytes.
TEST_F(WineRecordsServer, APoolImportedAndDrawnThroughOdbcReadsAsTheLinuxProgramDoes) {
    const fs::path csv = dir_.Path() / "ids.csv";
    testsupport::WriteFile(csv, "2. APN,28\nnet1," + testsupport::kGbValue + "\nnet2,b\nnet3,c\n");
    const RunResult imported = Windows({"pool", "import", "ids", "Z:" + csv.string()});
    ASSERT_EQ(imported.exit, 0) << imported.err;
    const Json status = Alike({"--json", "pool", "status", "ids"});
    EXPECT_EQ(status["columns"], Json::array({"2. APN", "28"}));
    EXPECT_EQ(status["free"], 3);

    EXPECT_EQ(WindowsDraws({"ids", "2", "86100000000", "st-win", "0", "write"}),
              "1 861000000000001\n2 861000000000002\n");
    EXPECT_EQ(WindowsDraws({"ids", "1", "86200000000", "st-win", "0", "release"}),
              "3 862000000000001\n");
    const Json pools = Alike({"--json", "pool", "list"});
    ASSERT_EQ(pools.size(), 1U);
    EXPECT_EQ(pools[0]["written"], 2);
    EXPECT_EQ(pools[0]["free"], 1);
    const Json shown = Alike({"--json", "pool", "show", "--imei", "861000000000002"});
    ASSERT_EQ(shown.size(), 1U);
    EXPECT_EQ(shown[0]["state"], "written");
    EXPECT_EQ(shown[0]["station"], "st-win");
    EXPECT_EQ(Alike({"--json", "pool", "show", "--imei", "862000000000001"}), Json::array());
    EXPECT_EQ(records::PostgresPoolStore(Uri(), 10s).Draw("ids", "861000000000001", "")->cells,
              (std::vector<std::string>{"net1", testsupport::kGbValue}));
}

// A Windows station's batch keeps a block of rows; cut off from the server it
// draws from the block, and the server has those ties once it is back.
TEST_F(WineRecordsServer, AWindowsStationCutOffDrawsFromItsBlock) {
    records::PostgresPoolStore line(Uri(), 10s);
    line.Import("ids", {"1"}, {{2, {"a"}}, {3, {"b"}}, {4, {"c"}}, {5, {"d"}}, {6, {"e"}}});
    const fs::path station = dir_.Path() / "station.db";
    EXPECT_EQ(WindowsDraws({"ids", "1", "86500000000", "st-win"}, station), "1 865000000000001\n");
    EXPECT_EQ(line.Status("ids").reserved, 3);

    Server().Kill();
    const std::string cutOff =
        WindowsDraws({"ids", "2", "86600000000", "st-win", "0", "write"}, station);
    Server().Start();
    EXPECT_EQ(cutOff, "2 866000000000001\n3 866000000000002\n");
    // Back: the queued ties first, then the draw, then the block topped up
    // with what is left.
    EXPECT_EQ(WindowsDraws({"ids", "1", "86700000000", "st-win"}, station), "5 867000000000001\n");
    const auto held = records::PostgresPoolStore(Uri(), 10s).ForImei("866000000000002");
    ASSERT_EQ(held.size(), 1U);
    EXPECT_EQ(held[0].id, 3);
    EXPECT_EQ(held[0].state, records::PoolRowState::Written);
    const records::PoolStatus status = records::PostgresPoolStore(Uri(), 10s).Status("ids");
    EXPECT_EQ(status.written, 2);
    EXPECT_EQ(status.reserved, 1);
}

}  // namespace
