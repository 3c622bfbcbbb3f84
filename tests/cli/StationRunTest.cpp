// tirvelctl as a station: the real binary on several simulated devices at
// once, its report checked against what each simulator saw on its own port.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "ChildProcess.h"
#include "PseudoTerminal.h"
#include "SimProcess.h"
#include "SimRecords.h"
#include "StationWorkers.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "ToolRunTest.h"
#include "XmodemReceiver.h"
#include "station/StationEvents.h"
#include "station/Supervisor.h"
#include "station/WorkerProcess.h"

namespace {

using namespace testsupport;

class StationRun : public testsupport::ToolRunTest {
protected:
    // Simulator k (0-based) on the link dtuK, its devices' IMEIs counting up
    // from 86000000000k001.
    void StartSimulators(int count, const std::vector<std::string>& options) {
        for (int k = 0; k < count; ++k) {
            StartSimulator(options);
        }
    }
    void StartSimulator(std::vector<std::string> options) {
        const int k = static_cast<int>(sims_.size());
        options.insert(
            options.begin(),
            {"--link", Link(k), "--events", Events(k).string(), "--imei",
             "86000000000" + std::to_string(k + 1) + "001", "--boot-ms", "200", "--firmware-out",
             (dir_.Path() / ("received" + std::to_string(k))).string()});
        sims_.push_back(std::make_unique<testsupport::SimProcess>(options));
    }

    std::string Link(int k) const { return (dir_.Path() / ("dtu" + std::to_string(k))).string(); }
    fs::path Events(int k) const { return dir_.Path() / ("events" + std::to_string(k) + ".jsonl"); }
    std::vector<Json> EventsOf(int k, const std::string& kind) const {
        return testsupport::EventsOf(Events(k), kind);
    }

    std::vector<std::string> Devices(int count) const {
        std::vector<std::string> args;
        for (int k = 0; k < count; ++k) {
            args.insert(args.end(), {"--device", Link(k)});
        }
        return args;
    }

    std::unique_ptr<testsupport::ChildProcess> Start(const std::vector<std::string>& args) {
        return StartRun(TIRVELCTL_PATH, args);
    }

    std::vector<std::unique_ptr<testsupport::SimProcess>> sims_;
};

TEST_F(StationRun, UpdateOnThreePortsDeliversEveryImageAndNamesEachDevicesPort) {
    StartSimulators(3, {"--devices", "2"});
    const std::string image = WriteNoise(dir_.Path() / "fw.bin", 128 * 30 + 5);
    const fs::path report = dir_.Path() / "update.csv";
    auto args = Devices(3);
    args.insert(args.end(), {"update", (dir_.Path() / "fw.bin").string(), "--count", "6",
                             "--report", report.string()});
    auto run = Start(args);
    ASSERT_EQ(run->Wait(2min), 0) << ReadFile(Err());

    const std::vector<std::string> lines = Lines(ReadFile(report));
    ASSERT_EQ(lines.size(), 7u) << ReadFile(report);
    EXPECT_EQ(lines[0], "Port,Time,IMEI,Bytes,Result,Message");
    const auto rows = ReportRowsByPort(report);
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(rows.count(Link(k)), 1u) << ReadFile(report);
        for (const auto& row : rows.at(Link(k))) {
            EXPECT_EQ(row.at(2), "");  // a boot loader gives no IMEI
            EXPECT_EQ(row.at(3), std::to_string(image.size()));
            EXPECT_EQ(row.at(4), "OK");
        }
        // What the report claims for the port, its device bears out.
        EXPECT_EQ(EventsOf(k, "firmware").size(), rows.at(Link(k)).size()) << k;
        EXPECT_EQ(Hex(ReadFile(dir_.Path() / ("received" + std::to_string(k)))),
                  Hex(Padded(image)));
    }
    EXPECT_TRUE(Contains(ReadFile(Err()), "6 devices: 6 succeeded, 0 failed.")) << ReadFile(Err());
}

TEST_F(StationRun, BatchOnThreePortsMatchesEveryRowToTheDeviceOnItsPort) {
    StartSimulators(3, {"--devices", "3"});
    auto args = Devices(3);
    args.insert(
        args.end(),
        {"--json", "batch", (fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt").string(),
         "--count", "6"});
    auto run = Start(args);
    ASSERT_EQ(run->Wait(2min), 0) << ReadFile(Err());

    std::vector<Json> rows;
    for (const std::string& line : Lines(ReadFile(Out()))) {
        rows.push_back(Json::parse(line));
    }
    ASSERT_EQ(rows.size(), 6u) << ReadFile(Out());
    std::set<std::string> imeis;
    for (const Json& row : rows) {
        EXPECT_TRUE(row["ok"].get<bool>()) << row.dump();
        const std::string port = row["port"];
        int k = 0;
        while (k < 3 && port != Link(k)) {
            ++k;
        }
        ASSERT_LT(k, 3) << row.dump();
        // The IMEI is one of the devices this port's simulator switched on,
        // and that device took every item of the profile.
        std::string current;
        int sets = 0;
        for (const Json& e : EventsOf(k, "")) {
            if (e["event"] == "power-on") {
                current = e["imei"];
            } else if (e["event"] == "set" && current == row["imei"]) {
                ++sets;
            }
        }
        EXPECT_EQ(sets, row["written"].get<int>()) << row.dump();
        EXPECT_GT(sets, 0) << row.dump();
        imeis.insert(row["imei"]);
    }
    EXPECT_EQ(imeis.size(), 6u);
}

// Each device of a station holds its own row of the values table, over the
// profile and its patterns, as its simulator stored them; a device the table
// has no row for is sent no AT+SET at all.
TEST_F(StationRun, BatchWithAValuesTableGivesEveryDeviceItsOwnRow) {
    for (int k = 0; k < 3; ++k) {
        StartSimulator(
            {"--devices", "1", "--state", (dir_.Path() / ("state" + std::to_string(k))).string()});
    }
    const fs::path profile = dir_.Path() / "profile.txt";
    WriteFile(profile, "[CFG]\r\n2. APN=iot.kavrel.example\r\n14. Register Data=reg-{imei:-4}\r\n");
    WriteFile(
        dir_.Path() / "v.csv",
        "IMEI,2. APN,28\n860000000001001,apn-one,1001\n860000000002001,\"apn \"\"two\"\"\",2002\n");
    const fs::path report = dir_.Path() / "report.csv";
    const std::string records = "sqlite:" + (dir_.Path() / "r.db").string();
    auto args = Devices(3);
    args.insert(args.end(),
                {"--records", records, "batch", profile.string(), "--values",
                 (dir_.Path() / "v.csv").string(), "--count", "3", "--report", report.string()});
    auto run = Start(args);
    ASSERT_EQ(run->Wait(2min), 1) << ReadFile(Err());

    const std::map<int, std::string> wanted[] = {
        {{2, "apn-one"}, {14, "reg-1001"}, {28, "1001"}},
        {{2, "apn \"two\""}, {14, "reg-2001"}, {28, "2002"}}};
    const auto rows = ReportRowsByPort(report);
    for (int k = 0; k < 2; ++k) {
        const std::map<int, std::string> stored =
            StoredValues(dir_.Path() / ("state" + std::to_string(k)));
        for (const auto& [item, value] : wanted[k]) {
            EXPECT_EQ(stored.count(item) ? stored.at(item) : "-", value) << k << " item " << item;
        }
        ASSERT_EQ(rows.count(Link(k)), 1u) << ReadFile(report);
        EXPECT_EQ(rows.at(Link(k)).front().at(4), "OK") << ReadFile(report);
    }
    // The record says where each value came from, and keeps the failure too.
    const auto Records = [&](const std::vector<std::string>& more) {
        std::vector<std::string> line{"--records", records, "--json", "records"};
        line.insert(line.end(), more.begin(), more.end());
        auto listing = Start(line);
        const RunResult result = Finish(*listing, 1min);
        EXPECT_EQ(result.exit, 0) << result.err;
        return Json::parse(result.out);
    };
    const Json first = Records({"--imei", "860000000001001"});
    ASSERT_EQ(first.size(), 1u);
    std::map<int, Json> sources;
    const Json shown = Records({"show", first[0]["id"]});
    for (const Json& item : shown["items"]) {
        sources[item["number"].get<int>()] = item["source"];
    }
    const std::string row = (dir_.Path() / "v.csv").string() + " line 2";
    EXPECT_EQ(sources, (std::map<int, Json>{{2, row}, {14, "pattern"}, {28, row}})) << shown.dump();
    const Json third = Records({"--imei", "860000000003001"});
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(third[0]["result"], "failed");
    EXPECT_TRUE(EventsOf(2, "set").empty());
    ASSERT_EQ(rows.count(Link(2)), 1u) << ReadFile(report);
    EXPECT_EQ(rows.at(Link(2)).front().at(4), "failed") << ReadFile(report);
    EXPECT_TRUE(Contains(rows.at(Link(2)).front().back(),
                         "No row of the values table is for IMEI 860000000003001"))
        << ReadFile(report);
}

// The station tells of devices in lines of its own, the workers' and the
// board's: a version string with a title change and a bell is said in every
// one of them, and reaches none raw.
TEST_F(StationRun, DeviceTextReachesNoOutputOfTheStationRaw) {
    const std::string shown = "=KV\\x1B]0;owned\\x07-2.9";
    StartSimulators(2, {"--devices", "2", "--version-text", "=KV\x1b]0;owned\x07-2.9"});
    const fs::path report = dir_.Path() / "report.csv";
    auto args = Devices(2);
    args.insert(args.end(),
                {"batch", (fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt").string(),
                 "--count", "2", "--report", report.string()});
    auto run = Start(args);
    ASSERT_EQ(run->Wait(2min), 0) << ReadFile(Err());
    const std::string out = ReadFile(Out());
    const std::string err = ReadFile(Err());
    EXPECT_TRUE(Contains(err, ", version " + shown + "\n")) << err;
    EXPECT_TRUE(Contains(out, "  " + shown + "  ")) << out;
    for (const auto& [port, rows] : ReportRowsByPort(report)) {
        for (const auto& row : rows) {
            EXPECT_EQ(row.at(3), "'" + shown) << port;
        }
    }
    EXPECT_EQ(out.find_first_of("\x1b\x07"), std::string::npos) << out;
    EXPECT_EQ(err.find_first_of("\x1b\x07"), std::string::npos) << err;
}

TEST_F(StationRun, SendOnThreePortsReachesEveryReceiver) {
    std::vector<std::unique_ptr<testsupport::PseudoTerminal>> ptys;
    std::vector<std::string> args;
    for (int k = 0; k < 3; ++k) {
        ptys.push_back(std::make_unique<testsupport::PseudoTerminal>());
        args.insert(args.end(), {"--device", ptys.back()->SlavePath()});
    }
    const std::string image = WriteNoise(dir_.Path() / "image.bin", 128 * 12 + 9);
    args.insert(args.end(), {"send", (dir_.Path() / "image.bin").string()});
    auto run = Start(args);
    ASSERT_TRUE(WaitForErr("waiting for the start signal", 10s, 3)) << ReadFile(Err());
    // The third receiver cancels: its port fails alone.
    std::vector<testsupport::Receiver> received(3);
    std::vector<std::thread> receivers;
    for (int k = 0; k < 3; ++k) {
        receivers.emplace_back(
            [&, k] { received[k] = testsupport::ReceiveChecksumXmodem(*ptys[k], k == 2 ? 4 : 0); });
    }
    for (auto& t : receivers) {
        t.join();
    }
    EXPECT_EQ(run->Wait(1min), 1) << ReadFile(Err());
    const std::string out = ReadFile(Out());
    for (int k = 0; k < 2; ++k) {
        EXPECT_TRUE(received[k].ended);
        EXPECT_EQ(Hex(received[k].data), Hex(Padded(image)));
        EXPECT_TRUE(Contains(out, ptys[k]->SlavePath() + "  ")) << out;
    }
    EXPECT_TRUE(Contains(out, "failed  The receiver cancelled the transfer.")) << out;
    EXPECT_TRUE(Contains(ReadFile(Err()), "3 devices: 2 succeeded, 1 failed.")) << ReadFile(Err());
}

// A worker killed in the middle of its transfer: its device is a failed row,
// the other port never notices, and the port goes on with its next device.
TEST_F(StationRun, AWorkerThatDiesFailsItsDeviceAloneAndItsPortGoesOn) {
    StartSimulators(2, {"--devices", "2"});
    // Large enough that the transfer is still running when the worker dies.
    WriteFile(dir_.Path() / "fw.bin", Noise(3 * 1024 * 1024));
    const fs::path report = dir_.Path() / "update.csv";
    auto args = Devices(2);
    args.insert(args.end(), {"update", (dir_.Path() / "fw.bin").string(), "--count", "4",
                             "--report", report.string()});
    auto run = Start(args);
    ASSERT_TRUE(WaitForErr(Link(0) + ": sending", 30s)) << ReadFile(Err());
    const std::vector<pid_t> workers = WorkersOn(Link(0));
    ASSERT_EQ(workers.size(), 1u);
    ::kill(workers.front(), SIGKILL);
    EXPECT_EQ(run->Wait(3min), 1) << ReadFile(Err());

    const auto rows = ReportRowsByPort(report);
    ASSERT_EQ(rows.at(Link(0)).size(), 2u) << ReadFile(report);
    EXPECT_EQ(rows.at(Link(0))[0].at(4), "failed");
    EXPECT_TRUE(Contains(rows.at(Link(0))[0].at(5), "ended unexpectedly (signal 9)"))
        << ReadFile(report);
    EXPECT_EQ(rows.at(Link(0))[1].at(4), "OK") << ReadFile(report);
    ASSERT_EQ(rows.at(Link(1)).size(), 2u) << ReadFile(report);
    for (const auto& row : rows.at(Link(1))) {
        EXPECT_EQ(row.at(4), "OK") << ReadFile(report);
    }
    EXPECT_EQ(EventsOf(0, "firmware").size(), 1u);
    EXPECT_EQ(EventsOf(1, "firmware").size(), 2u);
}

class StationInterrupt : public StationRun {
protected:
    // Two ports sending at the line rate when the signals come.
    std::unique_ptr<testsupport::ChildProcess> StartTransfers() {
        StartSimulators(2, {"--devices", "2"});
        WriteFile(dir_.Path() / "fw.bin", Noise(3 * 1024 * 1024));
        auto args = Devices(2);
        args.insert(args.end(), {"update", (dir_.Path() / "fw.bin").string(), "--count", "4",
                                 "--report", Report().string()});
        auto run = Start(args);
        EXPECT_TRUE(WaitForErr(Link(0) + ": sending", 30s)) << ReadFile(Err());
        EXPECT_TRUE(WaitForErr(Link(1) + ": sending", 30s)) << ReadFile(Err());
        return run;
    }
    fs::path Report() const { return dir_.Path() / "update.csv"; }
};

TEST_F(StationInterrupt, CtrlCOnceFinishesTheTransfersInFlightAndTakesNoMore) {
    auto run = StartTransfers();
    run->Signal(SIGINT);
    // Under ThreadSanitizer, beside seven other cases, the two transfers'
    // end has been seen to take over two minutes.
    EXPECT_EQ(run->Wait(5min), 130) << ReadFile(Err());
    EXPECT_TRUE(Contains(ReadFile(Err()), "Ctrl+C again cancels them")) << ReadFile(Err());
    const auto rows = ReportRowsByPort(Report());
    for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(rows.count(Link(k)), 1u) << ReadFile(Report());
        ASSERT_EQ(rows.at(Link(k)).size(), 1u) << ReadFile(Report());
        EXPECT_EQ(rows.at(Link(k))[0].at(4), "OK") << ReadFile(Report());
        EXPECT_EQ(EventsOf(k, "firmware").size(), 1u);
        EXPECT_EQ(EventsOf(k, "power-on").size(), 1u) << "no second device was taken";
    }
}

TEST_F(StationInterrupt, CtrlCTwiceCancelsTheTransfersAndReportsThemFailed) {
    auto run = StartTransfers();
    run->Signal(SIGINT);
    ASSERT_TRUE(WaitForErr("Ctrl+C again cancels them", 10s)) << ReadFile(Err());
    run->Signal(SIGINT);
    EXPECT_EQ(run->Wait(1min), 130) << ReadFile(Err());
    const auto rows = ReportRowsByPort(Report());
    for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(rows.count(Link(k)), 1u) << ReadFile(Report());
        EXPECT_EQ(rows.at(Link(k))[0].at(4), "failed") << ReadFile(Report());
        EXPECT_EQ(rows.at(Link(k))[0].at(5), "Interrupted.") << ReadFile(Report());
        EXPECT_TRUE(EventsOf(k, "firmware").empty()) << "no image was completed";
    }
}

// The supervisor's line on a worker's input cancels its device, as it does on
// Windows, where no console's Ctrl+Break reaches a worker started from a
// window; the end of that input (the supervisor gone) cancels it too, so no
// worker goes on for a station that has ended.
enum class CancelBy { Line, EndOfInput };

class WorkerCancel : public StationRun, public ::testing::WithParamInterface<CancelBy> {};

TEST_P(WorkerCancel, EndsTheTransferAndTellsTheDeviceInterrupted) {
    StartSimulators(1, {});
    WriteFile(dir_.Path() / "fw.bin", Noise(3 * 1024 * 1024));
    station::StationPort port;
    port.devicePath = Link(0);
    station::SupervisorSettings settings;
    settings.job = station::StationJob::Update;
    settings.language = "en";
    station::WorkerProcess worker(
        TIRVELCTL_PATH,
        station::Supervisor::WorkerArguments(port, settings, (dir_.Path() / "fw.bin").string()));
    ASSERT_TRUE(worker.Write(station::EncodePasswordLine(std::nullopt) + "\n"));
    const auto next = [&worker]() -> std::optional<station::StationEvent> {
        while (const std::optional<std::string> line = worker.ReadLine()) {
            auto event = station::DecodeEvent(*line);
            if (event && event->kind == station::StationEvent::Kind::Claim) {
                worker.Write(std::string(station::kClaimGranted) + "\n");
            }
            if (event) {
                return event;
            }
        }
        return std::nullopt;
    };
    std::optional<station::StationEvent> event;
    while ((event = next()) && !(event->kind == station::StationEvent::Kind::Transfer &&
                                 event->done > 0 && event->done < event->total)) {
    }
    ASSERT_TRUE(event) << "the worker ended before its transfer was under way";
    if (GetParam() == CancelBy::Line) {
        ASSERT_TRUE(worker.Write(std::string(station::kCancelLine) + "\n"));
    } else {
        worker.CloseInput();
    }
    while ((event = next()) && event->kind != station::StationEvent::Kind::End) {
    }
    ASSERT_TRUE(event) << "the worker told no end";
    ASSERT_TRUE(event->row);
    EXPECT_FALSE(event->row->ok);
    EXPECT_EQ(event->row->message, "Interrupted.");
    EXPECT_EQ(worker.Wait().code, 0);
    EXPECT_TRUE(EventsOf(0, "firmware").empty()) << "no image was completed";
}

INSTANTIATE_TEST_SUITE_P(Ways, WorkerCancel,
                         ::testing::Values(CancelBy::Line, CancelBy::EndOfInput),
                         [](const auto& info) {
                             return info.param == CancelBy::Line ? "CancelLine" : "EndOfInput";
                         });

TEST_F(StationRun, SeveralPortsAreForCommandsThatWorkThemAtOnce) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"-p", "1,2", "read"},
                                               {"--device", "/dev/a", "--device", "/dev/b", "log"},
                                               {"-p", "1-3", "restore"}}) {
        auto run = Start(args);
        EXPECT_EQ(run->Wait(20s), 2);
        EXPECT_TRUE(Contains(ReadFile(Err()), "works on one port at a time")) << ReadFile(Err());
    }
    for (const auto& [args, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-p", "4-1", "send", "x"}, "is not a COM port number or list"},
             {{"-p", "1,2,1", "read"}, "COM1 is named more than once."},
             {{"--device", "/dev/a", "--device", "/dev/a", "read"},
              "/dev/a is named more than once."},
             {{"-p", "1-40", "read"}, "At most 32 ports"},
             {{"-p", "0", "read"}, "The COM port number must be from 1 to 255, not 0."}}) {
        auto run = Start(args);
        EXPECT_EQ(run->Wait(20s), 2);
        EXPECT_TRUE(Contains(ReadFile(Err()), message)) << ReadFile(Err());
    }
}

}  // namespace

namespace {

// A batch without --count on a port that does not open ends after that one
// failure: every later device would fail the same way, as fast as the port
// refuses, and fill the report for ever.
TEST_F(StationRun, ABatchStopsAtAPortThatCannotBeOpened) {
    const fs::path report = dir_.Path() / "batch.csv";
    auto run = Start({"--device", (dir_.Path() / "absent").string(), "batch",
                      (fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt").string(),
                      "--report", report.string()});
    EXPECT_EQ(run->Wait(30s), 1) << ReadFile(Err());
    const std::vector<std::string> lines = Lines(ReadFile(report));
    ASSERT_EQ(lines.size(), 2u) << ReadFile(report);
    EXPECT_TRUE(Contains(lines[1], "No device answers at")) << lines[1];

    // On several ports the station puts it out of use and the others go on.
    StartSimulators(1, {"--devices", "1"});
    WriteFile(dir_.Path() / "fw.bin", Noise(1000));
    auto station = Start({"--device", Link(0), "--device", (dir_.Path() / "absent").string(),
                          "update", (dir_.Path() / "fw.bin").string()});
    EXPECT_EQ(station->Wait(60s), 1) << ReadFile(Err());
    EXPECT_TRUE(Contains(ReadFile(Err()), "absent: out of use: ")) << ReadFile(Err());
    EXPECT_TRUE(Contains(ReadFile(Out()), "OK  Updated firmware successfully!")) << ReadFile(Out());
}

// A line babbling whole "OK" lines answers every probe and never gives a
// device. On one port the batch files one row at most and stops; in a
// station the port is out of use after its first try, with no row and
// nothing taken from the count, and the healthy port beside it works every
// device asked for.
TEST_F(StationRun, ALineBabblingOkIsGivenUpBeforeItTakesAnyOfTheCount) {
    const std::string profile =
        (fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt").string();
    StartSimulator({"--line-babble-ok"});
    const fs::path single = dir_.Path() / "single.csv";
    auto run = Start({"--device", Link(0), "batch", profile, "--report", single.string()});
    EXPECT_EQ(run->Wait(90s), 1) << ReadFile(Err());
    EXPECT_LE(Lines(ReadFile(single)).size(), 2u) << ReadFile(single);

    StartSimulator({"--devices", "3"});
    const fs::path report = dir_.Path() / "station.csv";
    auto args = Devices(2);
    args.insert(args.end(), {"batch", profile, "--count", "3", "--report", report.string()});
    auto station = Start(args);
    EXPECT_EQ(station->Wait(3min), 1) << ReadFile(Err());
    const auto rows = ReportRowsByPort(report);
    EXPECT_EQ(rows.count(Link(0)), 0u) << ReadFile(report);
    ASSERT_EQ(rows.count(Link(1)), 1u) << ReadFile(report);
    ASSERT_EQ(rows.at(Link(1)).size(), 3u) << ReadFile(report);
    EXPECT_EQ(EventsOf(1, "power-on").size(), 3u);
    EXPECT_TRUE(Contains(ReadFile(Err()), Link(0) + ": out of use: ")) << ReadFile(Err());
    EXPECT_TRUE(Contains(ReadFile(Err()), "3 devices: 3 succeeded, 0 failed; 1 ports out of use."))
        << ReadFile(Err());
}

}  // namespace
