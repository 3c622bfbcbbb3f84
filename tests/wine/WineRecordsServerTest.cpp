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

    std::string wine_;
    fs::path exe_;
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

}  // namespace
