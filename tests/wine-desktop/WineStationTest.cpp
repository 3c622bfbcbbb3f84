// The station window for Windows, tirvel-station.exe, run under Wine on three
// COM ports of the prefix, each a kavrel-sim, and driven from outside its
// process by tirvel-driver.exe: the job started from the command line, the
// tiles read by their control IDs, the report and the devices checked on this
// machine's side, and closing while a job runs.
//
// Needs what the Wine desktop suite needs (TIRVEL_WINDOWS_BIN with
// tirvel-station.exe and tirvel-driver.exe, WINEPREFIX, DISPLAY).
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PostgresServer.h"
#include "SimProcess.h"
#include "SimRecords.h"
#include "WineDriverTest.h"
#include "XmodemReceiver.h"
#include "res/ResourceIds.h"
#include "res/StationIds.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::Contains;
using testsupport::ReadFile;
using winedriver::DriverRun;
using winedriver::WindowsPath;

constexpr int kPorts = 3;

class WineStation : public winedriver::WineDriverTest {
protected:
    // COM first ... first+2, each with its simulator; every case has ports of
    // its own, so cases run side by side in one prefix.
    bool UsePorts(int first, std::vector<std::string> options) {
        if (!UseWine("tirvel-station.exe", fw::Language::English)) {
            return false;
        }
        first_ = first;
        for (int k = 0; k < kPorts; ++k) {
            std::vector<std::string> args = options;
            args.insert(args.begin(),
                        {"--link", setup_.ComLink(first + k).string(), "--events",
                         Events(k).string(), "--imei", Imei(k), "--boot-ms", "200",
                         "--at-rate-alias", "38400", "--firmware-out", Received(k).string()});
            sims_.push_back(std::make_unique<testsupport::SimProcess>(args));
        }
        return true;
    }

    std::string Ports() const {
        return std::to_string(first_) + "-" + std::to_string(first_ + kPorts - 1);
    }
    std::string Label(int k) const { return "COM" + std::to_string(first_ + k); }
    static std::string Imei(int k) { return "86000000000" + std::to_string(k + 1) + "001"; }
    fs::path Events(int k) const { return dir_.Path() / ("events" + std::to_string(k)); }
    fs::path Received(int k) const { return dir_.Path() / ("received" + std::to_string(k)); }
    fs::path Report() const { return dir_.Path() / "station.csv"; }

    // The driver's lines that start the window with these arguments. The
    // window fills in what its line leaves out from the last job's form, kept
    // in the prefix by whichever case closed last: no values table and no
    // pool unless the arguments name them.
    std::string StartWith(const std::string& arguments) const {
        return "start " + WindowsPath(setup_.bin / "tirvel-station.exe") + " -- --lang en -p " +
               Ports() + " --report " + WindowsPath(Report()) + " --values= --pool= " + arguments +
               "\n"
               "frame 120\n";
    }

    // The window started on a job of count devices, left to finish it, its
    // tiles printed, then closed.
    DriverRun RunToTheEnd(const std::string& job, int count) {
        const std::string devices = std::to_string(count);
        return Drive(StartWith(job + " --count " + devices + " --start") + "wait-text 3024 Done " +
                     devices + " of " + devices +
                     " 180\n"
                     "wait-enabled 3020 60\n" +
                     PrintTiles() +
                     "close\n"
                     "wait-exit 30\n");
    }

    // Every tile's state, IMEI, verdict and counts, printed as "ID=text".
    static std::string PrintTiles() {
        std::string lines;
        for (int k = 0; k < kPorts; ++k) {
            for (const res::StationPart part :
                 {res::kPartState, res::kPartImei, res::kPartVerdict, res::kPartCounts}) {
                lines += "print " + std::to_string(res::StationTileId(k, part)) + "\n";
            }
        }
        return lines;
    }

    static std::string Shown(int k, res::StationPart part, const std::string& text) {
        return std::to_string(res::StationTileId(k, part)) + "=" + text + "\n";
    }

    std::vector<std::unique_ptr<testsupport::SimProcess>> sims_;
    int first_ = 0;
};

// The line a shortcut on a line PC would hold: six devices on three ports.
TEST_F(WineStation, UpdatesSixDevicesOnThreePortsFromTheCommandLine) {
    if (!UsePorts(61, {"--devices", "2"})) {
        return;
    }
    const fs::path firmware = dir_.Path() / "fw.bin";
    const std::string image = testsupport::WriteNoise(firmware, 128 * 200 + 17, 21);
    const DriverRun r = RunToTheEnd("--firmware " + WindowsPath(firmware), 6);
    ASSERT_EQ(r.exit, 0) << r.err << r.out;
    EXPECT_TRUE(ExitedCleanly(r)) << r.out;
    const auto rows = testsupport::ReportRowsByPort(Report());
    for (int k = 0; k < kPorts; ++k) {
        ASSERT_EQ(rows.count(Label(k)), 1u) << ReadFile(Report());
        ASSERT_EQ(rows.at(Label(k)).size(), 2u) << ReadFile(Report());
        for (const auto& row : rows.at(Label(k))) {
            EXPECT_EQ(row.at(4), "OK") << ReadFile(Report());
        }
        // Each device of that port took the image whole: the last one as
        // stored, the one before it by the same digest.
        const auto images = testsupport::EventsOf(Events(k), "firmware");
        ASSERT_EQ(images.size(), 2u);
        EXPECT_EQ(images[0]["sha256"], images[1]["sha256"]);
        EXPECT_TRUE(ReadFile(Received(k)) == testsupport::Padded(image)) << Label(k);
        EXPECT_TRUE(Contains(r.out, Shown(k, res::kPartVerdict, "OK"))) << r.out;
        EXPECT_TRUE(Contains(r.out, Shown(k, res::kPartCounts,
                                          fw::LoadText(res::IDS_STATION_TILE_COUNTS, {"2", "0"}))))
            << r.out;
    }
}

// The devices' records go to the line's server, through Windows' ODBC, as
// the station window forwards them (where PostgreSQL is installed here).
TEST_F(WineStation, ConfiguresThreeDevicesWithAProfile) {
    if (!UsePorts(64, {"--devices", "1"})) {
        return;
    }
    const fs::path profile = dir_.Path() / "apn-profile.txt";
    testsupport::WriteFile(profile,
                           ReadFile(fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt"));
    std::unique_ptr<testsupport::PostgresServer> line;
    std::string records;
    if (testsupport::PostgresServer::Unavailable().empty()) {
        line = std::make_unique<testsupport::PostgresServer>();
        records = " --records " + line->NewDatabase();
    }
    const DriverRun r = RunToTheEnd("--profile " + WindowsPath(profile) + records, 3);
    ASSERT_EQ(r.exit, 0) << r.err << r.out;
    if (line) {
        const std::string uri = records.substr(std::string(" --records ").size());
        EXPECT_EQ(testsupport::PostgresServer::Scalar(
                      uri, "SELECT count(DISTINCT imei) FROM device_records WHERE result = 'ok'"),
                  "3");
    }
    EXPECT_TRUE(ExitedCleanly(r)) << r.out;
    const auto rows = testsupport::ReportRowsByPort(Report());
    for (int k = 0; k < kPorts; ++k) {
        ASSERT_EQ(rows.count(Label(k)), 1u) << ReadFile(Report());
        const auto& row = rows.at(Label(k))[0];
        EXPECT_EQ(row.at(2), Imei(k));
        EXPECT_EQ(row.at(4), "OK") << ReadFile(Report());
        // What the row claims, the device on that port stored.
        std::map<int, std::string> stored;
        for (const auto& e : testsupport::EventsOf(Events(k), "set")) {
            stored[e["item"].get<int>()] = e["new_text"].get<std::string>();
        }
        EXPECT_EQ(stored[2], "iot.kavrel.example");
        EXPECT_EQ(stored[6], "7001");
        EXPECT_TRUE(Contains(r.out, Shown(k, res::kPartImei, Imei(k)))) << r.out;
        EXPECT_TRUE(Contains(r.out, Shown(k, res::kPartVerdict, "OK"))) << r.out;
    }
}

// Every worker reads the station's copy of the values table: each device
// stores its own row over the profile, and one the table has no row for is
// failed before anything is sent to it, its tile saying why.
TEST_F(WineStation, ConfiguresEachDeviceWithItsRowOfAValuesTable) {
    if (!UsePorts(70, {"--devices", "1"})) {
        return;
    }
    const fs::path profile = dir_.Path() / "profile.txt";
    testsupport::WriteFile(profile, "[CFG]\r\n6. Server Port=7070\r\n");
    // The rows in another order than the ports': a worker finds its row by
    // the device's IMEI, not by its place.
    const std::vector<std::map<int, std::string>> own = {{{2, "apn.first"}, {28, "7001"}},
                                                         {{2, "apn.second"}, {28, "7002"}}};
    const fs::path values = dir_.Path() / "values.csv";
    testsupport::WriteFile(values, "IMEI,2. APN,28\n" + Imei(1) + "," + own[1].at(2) + "," +
                                       own[1].at(28) + "\n" + Imei(0) + "," + own[0].at(2) + "," +
                                       own[0].at(28) + "\n");
    const DriverRun r = RunToTheEnd(
        "--profile " + WindowsPath(profile) + " --values " + WindowsPath(values), kPorts);
    ASSERT_EQ(r.exit, 0) << r.err << r.out;
    EXPECT_TRUE(ExitedCleanly(r)) << r.out;
    const auto rows = testsupport::ReportRowsByPort(Report());
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(Label(k));
        ASSERT_EQ(rows.count(Label(k)), 1u) << ReadFile(Report());
        EXPECT_EQ(rows.at(Label(k))[0].at(4), "OK") << ReadFile(Report());
        std::map<int, std::string> stored;
        for (const auto& e : testsupport::EventsOf(Events(k), "set")) {
            stored[e["item"].get<int>()] = e["new_text"].get<std::string>();
        }
        std::map<int, std::string> wanted = own[k];
        wanted[6] = "7070";
        EXPECT_EQ(stored, wanted);
    }
    ASSERT_EQ(rows.count(Label(2)), 1u) << ReadFile(Report());
    EXPECT_EQ(rows.at(Label(2))[0].at(4), "failed") << ReadFile(Report());
    EXPECT_TRUE(testsupport::EventsOf(Events(2), "set").empty());
    const std::string why = fw::LoadText(res::IDS_VALUES_NO_ROW, {Imei(2)});
    EXPECT_TRUE(
        Contains(r.out, Shown(2, res::kPartState, fw::LoadText(res::IDS_STATION_FAILED, {why}))))
        << r.out;
    EXPECT_TRUE(
        Contains(r.out, Shown(2, res::kPartVerdict, fw::LoadText(res::IDS_STATION_VERDICT_FAILED))))
        << r.out;
}

// Closing asks; "No" aborts the devices in flight safely and the window goes
// once every worker has told its end: no image is completed, every port is
// let go, and the report says why.
TEST_F(WineStation, ClosingWhileSendingAbortsAndEveryWorkerEnds) {
    if (!UsePorts(67, {"--devices", "1"})) {
        return;
    }
    const fs::path firmware = dir_.Path() / "fw.bin";
    testsupport::WriteFile(firmware, testsupport::Noise(3 * 1024 * 1024, 5));
    std::string script = StartWith("--firmware " + WindowsPath(firmware) + " --start");
    for (int k = 0; k < kPorts; ++k) {
        script +=
            "wait-text " + std::to_string(res::StationTileId(k, res::kPartState)) + " sending 60\n";
    }
    script += "close\nreply 7 " + winedriver::BoxText(res::IDS_STATION_CLOSE_RUNNING, language_) +
              " 30\nwait-exit 60\n";
    const DriverRun r = Drive(script);
    ASSERT_EQ(r.exit, 0) << r.err << r.out;
    EXPECT_TRUE(ExitedCleanly(r)) << r.out;
    const auto rows = testsupport::ReportRowsByPort(Report());
    for (int k = 0; k < kPorts; ++k) {
        ASSERT_EQ(rows.count(Label(k)), 1u) << ReadFile(Report());
        EXPECT_EQ(rows.at(Label(k))[0].at(4), "failed") << ReadFile(Report());
        EXPECT_EQ(rows.at(Label(k))[0].at(5), "Interrupted.") << ReadFile(Report());
        EXPECT_TRUE(testsupport::EventsOf(Events(k), "firmware").empty()) << Label(k);
        EXPECT_FALSE(testsupport::EventsOf(Events(k), "port-close").empty())
            << Label(k) << " was never let go";
    }
}

}  // namespace
