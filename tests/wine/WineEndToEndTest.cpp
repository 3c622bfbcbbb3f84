// The Windows build of tirvelctl, run under Wine, against kavrel-sim on this
// machine: Wine's COM port is a link in the prefix's dosdevices to the
// simulator's pseudo-terminal, so every byte goes through the Win32 serial
// layer (overlapped I/O, COMMTIMEOUTS, ClearCommError) and Wine's serial
// driver. Wine leaves 38400 on the pty where the tool asks for 28800; the
// simulator is told to take that rate as the AT rate.
//
// Needs TIRVEL_WINDOWS_BIN (the folder with tirvelctl.exe) and WINEPREFIX (a
// prefix made with wineboot); without them each case says why it did not run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "ChildProcess.h"
#include "LineListener.h"
#include "PostgresServer.h"
#include "SimProcess.h"
#include "SimRecords.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "ToolRunTest.h"
#include "WineSetup.h"
#include "XmodemReceiver.h"
#include "common/Sha256.h"
#include "framework/CodePage.h"
#include "framework/StringTable.h"
#include "records/PostgresRecordStore.h"
#include "records/SqliteRecordStore.h"
#include "res/ResourceIds.h"

namespace {

using namespace testsupport;

// A path of this machine as a Windows program under Wine names it.
std::string WindowsPath(const fs::path& path) {
    return "Z:" + path.string();
}

using Result = testsupport::RunResult;

class WineRun : public testsupport::ToolRunTest {
protected:
    // GTEST_SKIP only returns from a function without a result.
    static bool Skip(const std::string& reason) {
        [&] { GTEST_SKIP() << reason; }();
        return false;
    }

    // Each case has COM numbers of its own: ctest runs them side by side in
    // one prefix. A station works `ports` of them, from `number` on. False,
    // with the case skipped and the reason given, where there is no Windows
    // build or no Wine to run it.
    bool UseComPort(int number, int ports = 1) {
        const testsupport::WineSetup setup = testsupport::WineFromEnvironment();
        if (setup.bin.empty() || !fs::exists(setup.bin / "tirvelctl.exe")) {
            return Skip(
                "no Windows build: TIRVEL_WINDOWS_BIN must name the folder "
                "with tirvelctl.exe (the windows preset's bin/)");
        }
        if (const auto missing = testsupport::WineMissing(setup)) {
            return Skip(*missing);
        }
        wine_ = setup.wine;
        exe_ = setup.bin / "tirvelctl.exe";
        port_ = number;
        ports_ = ports;
        setup_ = setup;
        SetEnv("WINEDEBUG", "-all");
        return true;
    }

    // The simulator on the case's first port.
    void StartSimulator(const std::vector<std::string>& options, bool alias = true) {
        StartSimulatorOn(0, options, alias);
    }
    // One on each of the case's ports, port k's with options[k].
    void StartSimulators(const std::vector<std::vector<std::string>>& options) {
        for (int k = 0; k < ports_; ++k) {
            StartSimulatorOn(k, options.at(static_cast<std::size_t>(k)), true);
        }
    }
    void StartSimulatorOn(int k, std::vector<std::string> options, bool alias) {
        if (std::find(options.begin(), options.end(), "--boot-ms") == options.end()) {
            options.insert(options.begin(), {"--boot-ms", "200"});
        }
        options.insert(options.begin(), {"--link", setup_.ComLink(port_ + k).string(), "--events",
                                         EventsOn(k).string()});
        if (alias) {
            options.insert(options.end(), {"--at-rate-alias", "38400"});
        }
        sims_.push_back(std::make_unique<testsupport::SimProcess>(options));
    }
    // The events of the simulator on the case's port k (from 0).
    fs::path EventsOn(int k) const {
        return k == 0 ? Events() : dir_.Path() / ("events" + std::to_string(k) + ".jsonl");
    }
    std::string Label(int k) const { return "COM" + std::to_string(port_ + k); }

    // Wine's first start in a prefix can take seconds; a run that hangs is
    // killed rather than holding the suite.
    Result Run(std::vector<std::string> args, std::chrono::seconds timeout = 120s) {
        return Finish(*Start(std::move(args)), timeout);
    }
    // The same, left to run.
    std::unique_ptr<ChildProcess> Start(std::vector<std::string> args) {
        const std::string ports =
            ports_ == 1 ? std::to_string(port_)
                        : std::to_string(port_) + "-" + std::to_string(port_ + ports_ - 1);
        args.insert(args.begin(), {exe_.string(), "--port", ports});
        return StartRun(wine_, args);
    }
    Result RunWithoutPort(std::vector<std::string> args, std::chrono::seconds timeout = 120s) {
        args.insert(args.begin(), exe_.string());
        return Finish(*StartRun(wine_, args), timeout);
    }

    // A profile of the Chinese table's item 2, by its label, in GB18030 as
    // Import reads it.
    fs::path WriteChineseApnProfile(const std::string& apn) const {
        const fs::path profile = dir_.Path() / "profile.txt";
        WriteFile(profile, "[CFG]\r\n" +
                               fw::EncodeCodePage("2. APN接入点=" + apn, fw::Language::Chinese) +
                               "\r\n");
        return profile;
    }

    // The record of a batch that set that profile's APN on the port.
    static void ExpectChineseApnSet(const records::DeviceRecord& record, const std::string& port,
                                    const std::string& apn) {
        EXPECT_EQ(record.result, records::Result::Ok);
        EXPECT_EQ(record.port, port);
        EXPECT_EQ(record.command, "batch");
        ASSERT_EQ(record.items.size(), 1U);
        // The device's own bytes for the name, not UTF-8.
        EXPECT_EQ(record.items[0].name, fw::EncodeCodePage("APN接入点", fw::Language::Chinese));
        EXPECT_EQ(record.items[0].after, std::optional<std::string>(apn));
        EXPECT_TRUE(record.items[0].written);
    }

    std::vector<std::unique_ptr<testsupport::SimProcess>> sims_;
    testsupport::WineSetup setup_;
    std::string wine_;
    fs::path exe_;
    int port_ = 0;
    int ports_ = 1;
};

TEST_F(WineRun, ReadsTheDeviceTableInBothCodePages) {
    if (!UseComPort(41)) {
        return;
    }
    struct Case {
        const char* lang;
        fw::Language language;
        std::string name;  // UTF-8
        std::string value;
    };
    for (const Case& c : {Case{"en", fw::Language::English, "Café APN", "naïve"},
                          Case{"zh", fw::Language::Chinese, "APN接入点", "中文值"}}) {
        SCOPED_TRACE(c.lang);
        const std::string table = "1,Mode,1\n2," + fw::EncodeCodePage(c.name, c.language) + "," +
                                  fw::EncodeCodePage(c.value, c.language) + "\n";
        StartSimulator({"--params", DeviceTable(table), "--imei", "860000000000077"});
        const Result r = Run({"--lang", c.lang, "read", "--json"});
        ASSERT_EQ(r.exit, 0) << r.err;
        const Json doc = Json::parse(r.out);
        EXPECT_EQ(doc["imei"], "860000000000077");
        ASSERT_EQ(doc["items"].size(), 2u);
        EXPECT_EQ(doc["items"][1]["name"], c.name);
        EXPECT_EQ(doc["items"][1]["value"], c.value);
        // The tool's line really was Wine's 38400, taken as the AT rate.
        EXPECT_EQ(EventsOf("quit").size(), 1u);
        sims_.clear();
        fs::remove(Events());
    }
}

TEST_F(WineRun, AppliesAProfileAndTheDeviceStoresIt) {
    if (!UseComPort(42)) {
        return;
    }
    StartSimulator({"--state", State().string()});
    const fs::path profile = dir_.Path() / "profile.txt";
    WriteFile(profile, "[CFG]\r\n2. APN=internet.wine\r\n6. Server Port=7009\r\n");
    const Result r = Run({"apply", WindowsPath(profile)});
    ASSERT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "Succeed to set new parameters to Kavrel")) << r.err;
    const std::map<int, std::string> stored = testsupport::StoredValues(State());
    EXPECT_EQ(stored.at(2), "internet.wine");
    EXPECT_EQ(stored.at(6), "7009");
    EXPECT_EQ(EventsOf("set").size(), 2u);
}

TEST_F(WineRun, UpdatesTheFirmwareByteForByte) {
    if (!UseComPort(43)) {
        return;
    }
    const fs::path received = dir_.Path() / "received.bin";
    StartSimulator({"--firmware-out", received.string()});
    const std::string image = WriteNoise(dir_.Path() / "fw.bin", 128 * 24 + 5, 7);
    const Result r = Run({"update", WindowsPath(dir_.Path() / "fw.bin")});
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_TRUE(Contains(r.err, "Updated firmware successfully!")) << r.err;
    EXPECT_TRUE(ReadFile(received) == Padded(image)) << "the stored image differs from the file";
}

// tirvelctl.exe keeps records with the SQLite compiled into it: a file under
// a Chinese name, written by the Windows program and read here by this
// machine's own SQLite, holds every device with its items as read back.
TEST_F(WineRun, KeepsARecordOfEveryDeviceInAFileThisMachineReads) {
    if (!UseComPort(45)) {
        return;
    }
    // Wine reads a program's command line in the charset of the Unix locale:
    // the Chinese path needs a UTF-8 one to reach tirvelctl.exe whole.
    SetEnv("LC_ALL", "C.UTF-8");
    StartSimulator({"--devices", "2", "--lang", "zh", "--imei", "860000000000451"});
    const fs::path profile = WriteChineseApnProfile("internet.wine");
    const fs::path db = dir_.Path() / "记录" / "线体.db";
    const Result r = Run({"--lang", "zh", "--records", "sqlite:" + WindowsPath(db), "--station",
                          "st-w", "batch", WindowsPath(profile), "--count", "2"});
    ASSERT_EQ(r.exit, 0) << r.err;
    records::SqliteRecordStore store(db.string());
    const std::vector<records::DeviceRecord> kept = store.Find({});
    ASSERT_EQ(kept.size(), 2U);
    for (const records::DeviceRecord& listed : kept) {
        const records::DeviceRecord record = *store.Get(listed.id);
        SCOPED_TRACE(record.imei);
        ExpectChineseApnSet(record, "COM45", "internet.wine");
        EXPECT_EQ(record.station, "st-w");
        EXPECT_EQ(record.codePage, "GB18030");
    }
    EXPECT_NE(kept[0].imei, kept[1].imei);
    // Looked up by the Windows program on the same file.
    const Result found = Run({"--records", "sqlite:" + WindowsPath(db), "--json", "records",
                              "--imei", "860000000000452"});
    ASSERT_EQ(found.exit, 0) << found.err;
    EXPECT_EQ(Json::parse(found.out).size(), 1U) << found.out;
}

// tirvelctl.exe sends its records to the line's PostgreSQL server through
// Windows' own ODBC (under Wine, unixODBC and the PostgreSQL ODBC driver):
// read back here with libpq, byte for byte; a device worked while the server
// is down is kept and goes out with `records push` once it is back, once.
TEST_F(WineRun, SendsEveryRecordToTheLineServerThroughOdbc) {
    if (!UseComPort(46)) {
        return;
    }
    if (const std::string why = PostgresServer::Unavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    SetEnv("LC_ALL", "C.UTF-8");
    PostgresServer server;
    const std::string uri = server.NewDatabase();
    StartSimulator({"--devices", "3", "--lang", "zh", "--imei", "860000000000461"});
    const fs::path profile = WriteChineseApnProfile("internet.odbc");
    // The station's queue is the prefix's own file, which other runs may
    // have left records in: this run's are told by a station name of its own.
    const std::string station = "工位-" + std::to_string(::getpid());
    const std::vector<std::string> toServer = {"--lang", "zh",        "--records",
                                               uri,      "--station", station};
    auto batch = [&](int count) {
        std::vector<std::string> args = toServer;
        args.insert(args.end(), {"batch", WindowsPath(profile), "--count", std::to_string(count)});
        return Run(args);
    };
    const Result first = batch(2);
    ASSERT_EQ(first.exit, 0) << first.err;

    records::PostgresRecordStore line(uri, 10s);
    records::RecordQuery ours;
    ours.station = station;
    const std::vector<records::DeviceRecord> kept = line.Find(ours);
    ASSERT_EQ(kept.size(), 2U) << first.err;
    for (const records::DeviceRecord& listed : kept) {
        const records::DeviceRecord record = *line.Get(listed.id);
        SCOPED_TRACE(record.imei);
        ExpectChineseApnSet(record, "COM46", "internet.odbc");
        EXPECT_EQ(PostgresServer::Scalar(uri,
                                         "SELECT name_text FROM record_items WHERE "
                                         "record_id = '" +
                                             record.id + "'"),
                  "APN接入点");
    }

    // The Windows program looks the records up on the server too.
    const Result found = Run({"--records", uri, "--json", "records", "--imei", "860000000000462"});
    ASSERT_EQ(found.exit, 0) << found.err;
    const Json listing = Json::parse(found.out);
    ASSERT_EQ(listing.size(), 1U) << found.out;
    const Result shown =
        Run({"--records", uri, "--json", "records", "show", listing[0]["id"].get<std::string>()});
    ASSERT_EQ(shown.exit, 0) << shown.err;
    EXPECT_NE(shown.out.find("internet.odbc"), std::string::npos) << shown.out;

    // The server down: the device is kept on the station, and told OK.
    server.Stop();
    const Result whileDown = batch(1);
    ASSERT_EQ(whileDown.exit, 0) << whileDown.err;
    server.Start();
    const Result pushed = Run({"--records", uri, "records", "push"});
    ASSERT_EQ(pushed.exit, 0) << pushed.err;
    const std::string mine = " FROM device_records WHERE station = '" + station + "'";
    EXPECT_EQ(PostgresServer::Scalar(uri, "SELECT count(*)" + mine + " AND result = 'ok'"), "3");
    EXPECT_EQ(PostgresServer::Scalar(uri, "SELECT count(DISTINCT imei)" + mine), "3");
}

// A Windows station of two ports leaves what its board showed on the line's
// server through ODBC, as a Linux one does through libpq: the job, the counts
// at the end, each port's last device, in the station's own words (Chinese),
// and every change told on the channel the line's dashboard listens on.
TEST_F(WineRun, AStationLeavesItsLastStateOnTheLinesServerThroughOdbc) {
    if (!UseComPort(48, 2)) {
        return;
    }
    if (const std::string why = PostgresServer::Unavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    SetEnv("LC_ALL", "C.UTF-8");
    PostgresServer server;
    const std::string uri = server.NewDatabase();
    const std::string station = "工位-" + std::to_string(::getpid());
    LineListener listener(uri, station);
    // Devices slow to come up: the station shows no change for longer than
    // its heartbeat, and tells the server it is there all the same.
    StartSimulators(
        {{"--devices", "1", "--lang", "zh", "--imei", "860000000000481", "--boot-ms", "9000"},
         {"--devices", "1", "--lang", "zh", "--imei", "860000000000491", "--boot-ms", "9000"}});
    const fs::path profile = WriteChineseApnProfile("internet.line");
    const auto run = Start({"--lang", "zh", "--records", uri, "--station", station, "batch",
                            WindowsPath(profile), "--count", "2"});
    auto scalar = [&](const std::string& sql) { return PostgresServer::Scalar(uri, sql); };
    const std::string mine = " WHERE station = '" + station + "'";
    EXPECT_TRUE(PollUntil(
        [&] {
            std::this_thread::sleep_for(200ms);
            return scalar("SELECT to_regclass('line_stations') IS NOT NULL") == "t" &&
                   scalar("SELECT heartbeat_at > changed_at FROM line_stations" + mine) == "t";
        },
        60s));
    const Result r = Finish(*run, 120s);
    ASSERT_EQ(r.exit, 0) << r.err;

    EXPECT_EQ(scalar("SELECT job || ' ' || file_name || ' ' || file_sha256 || ' ' || done || ' ' "
                     "|| failed || ' ' || count || ' ' || phase || ' ' || ports FROM "
                     "line_stations" +
                     mine),
              "batch " + WindowsPath(profile) + " " + common::Sha256::HexDigest(ReadFile(profile)) +
                  " 2 0 2 ended 2");
    // The pace went as a double, not as text or as nothing.
    EXPECT_EQ(scalar("SELECT devices_per_hour > 0 FROM line_stations" + mine), "t");
    EXPECT_EQ(scalar("SELECT sum(ok) || ' ' || sum(failed) || ' ' || bool_and(last_ok) FROM "
                     "line_station_ports" +
                     mine),
              "2 0 true");
    // Each port shows the last device its simulator made, as its records
    // say; the port of the job's last device always, another only if it did
    // not start waiting for one more before the count was reached (its tile
    // then shows no IMEI).
    const Result pushed = RunWithoutPort({"--records", uri, "records", "push"});
    ASSERT_EQ(pushed.exit, 0) << pushed.err;
    const std::string lastOfAll =
        scalar("SELECT port FROM device_records ORDER BY finished_at DESC LIMIT 1");
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k);
        const std::string port = mine + " AND port_no = " + std::to_string(k);
        EXPECT_EQ(scalar("SELECT label FROM line_station_ports" + port), Label(k));
        const std::string shown = scalar("SELECT imei_text FROM line_station_ports" + port);
        const std::string last = scalar("SELECT imei_text FROM device_records WHERE port = '" +
                                        Label(k) + "' ORDER BY finished_at DESC LIMIT 1");
        ASSERT_FALSE(last.empty());
        if (Label(k) == lastOfAll) {
            EXPECT_EQ(shown, last);
        } else {
            EXPECT_TRUE(shown.empty() || shown == last) << shown;
        }
        // The station's words, not the dashboard's: its verdict in Chinese.
        EXPECT_EQ(scalar("SELECT last_verdict FROM line_station_ports" + port),
                  fw::TrimLineEnds(fw::LoadString(res::IDS_STATION_OK, fw::Language::Chinese)));
    }
    // At the least the job's first state and its end, each told (and the
    // heartbeat besides, which the channel does not tell apart).
    EXPECT_GE(listener.Told(), 2);
}

// A batch drawing from a pool on the line's server, all through ODBC: a
// device that stored another's row, or a row tied to the wrong IMEI, would
// hand one platform ID to two devices.
TEST_F(WineRun, DrawsEachDeviceItsOwnPoolRowFromTheLineServer) {
    if (!UseComPort(47)) {
        return;
    }
    if (const std::string why = PostgresServer::Unavailable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    PostgresServer server;
    const std::string uri = server.NewDatabase();
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--records", uri});
        return Run(args);
    };
    const std::vector<std::vector<std::string>> pool = {
        {"4701", "apn.one"}, {"4702", "apn.two"}, {"4703", "apn.three"}};
    std::string csv = "28,2. APN\n";
    for (const auto& row : pool) {
        csv += row[0] + "," + row[1] + "\n";
    }
    WriteFile(dir_.Path() / "ids.csv", csv);
    // The prefix's station file keeps the blocks earlier runs' servers set
    // aside for a pool of the same name, whose rows a block of this one's
    // would clash with: this run's pool has a name of its own.
    const std::string name = "ids" + std::to_string(::getpid());
    const Result imported = run({"pool", "import", name, WindowsPath(dir_.Path() / "ids.csv")});
    ASSERT_EQ(imported.exit, 0) << imported.err;
    const fs::path profile = dir_.Path() / "profile.txt";
    WriteFile(profile, "[CFG]\r\n6. Server Port=7047\r\n");
    StartSimulator({"--devices", "2", "--imei", "860000000000471"});
    const Result r = run({"batch", WindowsPath(profile), "--pool", name, "--count", "2"});
    ASSERT_EQ(r.exit, 0) << r.err;

    // The events tell no device by its sets: each set is the last powered on's.
    std::map<std::string, std::map<int, std::string>> stored;
    std::string on;
    for (const Json& e : EventsOf("")) {
        if (e["event"] == "power-on") {
            on = e["imei"].get<std::string>();
        } else if (e["event"] == "set") {
            stored[on][e["item"].get<int>()] = e["new_text"].get<std::string>();
        }
    }
    ASSERT_EQ(stored.size(), 2U);
    std::set<int> drawn;
    for (const auto& [imei, values] : stored) {
        SCOPED_TRACE(imei);
        const std::string row = PostgresServer::Scalar(
            uri, "SELECT row_no FROM value_pool_rows WHERE state = 'written' AND imei = '" + imei +
                     "'::bytea");
        ASSERT_FALSE(row.empty()) << "no row written to this IMEI";
        drawn.insert(std::stoi(row));
        const std::vector<std::string>& cells = pool.at(std::stoul(row) - 1);
        EXPECT_EQ(values, (std::map<int, std::string>{{2, cells[1]}, {6, "7047"}, {28, cells[0]}}));

        const Json listing = Json::parse(run({"--json", "records", "--imei", imei}).out);
        ASSERT_EQ(listing.size(), 1U);
        const Json shown = Json::parse(
            run({"--json", "records", "show", listing[0]["id"].get<std::string>()}).out);
        std::map<int, Json> sources;
        for (const Json& item : shown["items"]) {
            sources[item["number"].get<int>()] = item["source"];
        }
        const std::string source = "pool " + name + " row " + row;
        EXPECT_EQ(sources, (std::map<int, Json>{{2, source}, {6, nullptr}, {28, source}}))
            << shown.dump();
    }
    EXPECT_EQ(drawn.size(), 2U);
    EXPECT_EQ(
        PostgresServer::Scalar(uri, "SELECT count(*) FROM value_pool_rows WHERE imei IS NOT NULL"),
        "2");
}

// Why the simulator needs the alias: Wine cannot set the AT rate on a pty.
TEST_F(WineRun, WithoutTheAliasTheDeviceHearsWineRateAsWrong) {
    if (!UseComPort(44)) {
        return;
    }
    StartSimulator({}, false);
    const fs::path out = dir_.Path() / "out";
    const fs::path err = dir_.Path() / "err";
    testsupport::ChildProcess process(wine_, {exe_.string(), "--port", "44", "read"}, out, err);
    std::vector<Json> mismatches;
    for (int i = 0; i < 600 && mismatches.empty(); ++i) {
        std::this_thread::sleep_for(100ms);
        mismatches = EventsOf("line-rate-mismatch");
    }
    ASSERT_FALSE(mismatches.empty()) << ReadFile(err);
    EXPECT_EQ(mismatches.front()["baud"], 38400);
    EXPECT_TRUE(EventsOf("set").empty());
}

}  // namespace
