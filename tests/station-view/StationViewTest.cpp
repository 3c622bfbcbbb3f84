// The station window's view on the scripted window, driven as the operator
// drives it, against three simulated devices worked by the real tirvelctl.
#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "LanguageForTheTest.h"
#include "ProgramStateTest.h"
#include "SampleRecord.h"
#include "ScriptedDialogs.h"
#include "ScriptedWindow.h"
#include "SimProcess.h"
#include "SimRecords.h"
#include "StationWorkers.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "TextSearch.h"
#include "XmodemReceiver.h"
#include "records/SqlitePoolStore.h"
#include "records/SqliteRecordStore.h"
#include "res/StationIds.h"
#include "station/view/StationView.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace testsupport;

const std::string kExampleProfile =
    (fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt").string();

class StationWindow : public ProgramStateTest {
protected:
    void SetUp() override {
        SetEnv("XDG_CONFIG_HOME", dir_.Path().string());
        SetEnv("XDG_DATA_HOME", (dir_.Path() / "data").string());
        view_.SetWorkerProgram(TIRVELCTL_PATH);
        view_.OnInitialUpdate();
    }
    // A case that failed with its job still running: the job ends before the
    // window it posts to goes.
    void TearDown() override { view_.EndJob(); }

    void StartSimulators(int count, std::vector<std::string> options) {
        for (int k = 0; k < count; ++k) {
            std::vector<std::string> args = options;
            args.insert(args.begin(), {"--link", Link(k), "--events", Events(k).string(), "--imei",
                                       "86000000000" + std::to_string(k + 1) + "001", "--boot-ms",
                                       "200", "--firmware-out", Received(k).string()});
            sims_.push_back(std::make_unique<SimProcess>(args));
        }
    }
    std::string Link(int k) const { return (dir_.Path() / ("dtu" + std::to_string(k))).string(); }
    fs::path Events(int k) const { return dir_.Path() / ("events" + std::to_string(k) + ".jsonl"); }
    fs::path Received(int k) const { return dir_.Path() / ("received" + std::to_string(k)); }
    std::string Ports(int count) const {
        std::string ports;
        for (int k = 0; k < count; ++k) {
            ports += (k > 0 ? "," : "") + Link(k);
        }
        return ports;
    }

    // The job form as the operator fills it; an empty count is left as the
    // form has it.
    bool FillForm(const std::string& file, const std::string& ports, const std::string& count,
                  const fs::path& report) {
        return window_.Type(res::IDC_STATION_FILE, file) &&
               window_.Type(res::IDC_STATION_PORTS, ports) &&
               (count.empty() || window_.Type(res::IDC_STATION_COUNT, count)) &&
               window_.Type(res::IDC_STATION_REPORT, report.string());
    }
    // The update job, with the image in the case's fw.bin.
    bool FillUpdateForm(const std::string& ports, const std::string& count,
                        const fs::path& report) {
        return window_.Click(res::IDC_STATION_JOB_UPDATE) &&
               FillForm((dir_.Path() / "fw.bin").string(), ports, count, report);
    }

    // Start clicked, then the window's loop runs until the job has ended.
    bool RunJob(std::chrono::seconds limit = 120s) {
        if (!window_.Click(res::IDC_STATION_START)) {
            return false;
        }
        return loop_.RunUntil([this] { return !view_.Running(); }, limit);
    }

    TempDir dir_;
    EnglishForTheTest english_;
    fw::CMessageLoop loop_;
    CStationView view_;
    ScriptedWindow window_{loop_, view_, res::IDD_STATION_FORM};
    ScriptedDialogs dialogs_{loop_};
    std::vector<std::unique_ptr<SimProcess>> sims_;
};

TEST_F(StationWindow, UpdatesSixDevicesOnThreePortsAndEachTileShowsItsVerdict) {
    StartSimulators(3, {"--devices", "2"});
    const std::string image = WriteNoise(dir_.Path() / "fw.bin", 128 * 30 + 5);
    const fs::path report = dir_.Path() / "update.csv";
    ASSERT_TRUE(FillUpdateForm(Ports(3), "6", report));
    ASSERT_TRUE(RunJob());

    ASSERT_TRUE(view_.LastResult());
    EXPECT_TRUE(view_.LastResult()->Clean());
    EXPECT_EQ(view_.LastResult()->done, 6);
    const auto rows = ReportRowsByPort(report);
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(rows.count(Link(k)), 1u) << ReadFile(report);
        EXPECT_EQ(rows.at(Link(k)).size(), 2u) << ReadFile(report);
        for (const auto& row : rows.at(Link(k))) {
            EXPECT_EQ(row.at(4), "OK");
        }
        EXPECT_EQ(Hex(ReadFile(Received(k))), Hex(Padded(image)));
        // The tile says what its device bore out, in words as well as colour.
        EXPECT_EQ(window_.Text(res::StationTileId(k, res::kPartPort)), Link(k));
        EXPECT_EQ(window_.Text(res::StationTileId(k, res::kPartVerdict)), "OK");
        const fw::TextLook* look = window_.TextLookOf(res::StationTileId(k, res::kPartVerdict));
        ASSERT_NE(look, nullptr);
        EXPECT_TRUE(look->hasBackground);
        EXPECT_NE(look->backgroundRgb, 0xFFFFFFu);
        EXPECT_EQ(window_.Text(res::StationTileId(k, res::kPartCounts)), "OK 2    Failed 0");
        EXPECT_EQ(window_.ProgressPos(res::StationTileId(k, res::kPartProgress)), 1000);
        EXPECT_TRUE(window_.Visible(res::StationTileId(k, res::kPartState)));
    }
    EXPECT_FALSE(window_.Visible(res::StationTileId(3, res::kPartState)));
    const std::string totals = window_.Text(res::IDC_STATION_TOTALS);
    EXPECT_TRUE(Contains(totals, "Done 6 of 6")) << totals;
    // A pace from the seconds the job took, short as they were.
    const std::size_t pace = totals.find(" devices/hour");
    ASSERT_NE(pace, std::string::npos) << totals;
    EXPECT_GT(std::atoi(totals.substr(totals.rfind(' ', pace - 1) + 1).c_str()), 6) << totals;
    EXPECT_TRUE(window_.Enabled(res::IDC_STATION_START));
    EXPECT_FALSE(window_.Enabled(res::IDC_STATION_ABORT));
    // Open report shows the job's report.
    ASSERT_TRUE(window_.Click(res::IDC_STATION_OPEN_REPORT));
    EXPECT_EQ(dialogs_.openedDocuments, std::vector<std::string>{report.string()});
}

TEST_F(StationWindow, ConfiguresWithAProfileAndEveryDeviceHoldsItsValues) {
    StartSimulators(3, {"--devices", "1"});
    const fs::path report = dir_.Path() / "batch.csv";
    ASSERT_TRUE(FillForm(kExampleProfile, Ports(3), "3", report));
    ASSERT_TRUE(RunJob());
    ASSERT_TRUE(view_.LastResult());
    EXPECT_TRUE(view_.LastResult()->Clean()) << ReadFile(report);
    const auto rows = ReportRowsByPort(report);
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(rows.count(Link(k)), 1u) << ReadFile(report);
        const auto& row = rows.at(Link(k))[0];
        EXPECT_EQ(row.at(4), "OK") << ReadFile(report);
        // What the row claims, the device on that port stored.
        std::map<int, std::string> stored;
        for (const auto& e : EventsOf(Events(k), "set")) {
            stored[e["item"].get<int>()] = e["new_text"].get<std::string>();
        }
        EXPECT_EQ(std::to_string(stored.size()), row.at(5)) << ReadFile(report);
        EXPECT_EQ(stored[2], "iot.kavrel.example");
        EXPECT_EQ(stored[6], "7001");
        EXPECT_EQ(window_.Text(res::StationTileId(k, res::kPartImei)),
                  "86000000000" + std::to_string(k + 1) + "001");
        EXPECT_EQ(window_.Text(res::StationTileId(k, res::kPartVerdict)), "OK");
    }
}

// The form's values table gives each device its own row, and its pool each
// device a row of its own: the workers read the copy of the table made at
// Start, draw from the pool where the records go, and the tiles say which
// rows they got.
TEST_F(StationWindow, AValuesTableAndAPoolGiveEveryDeviceItsOwnRows) {
    StartSimulators(2, {"--devices", "1"});
    const fs::path table = dir_.Path() / "v.csv";
    WriteFile(table, "IMEI,2\n860000000001001,apn-one\n860000000002001,apn-two\n");
    records::SqlitePoolStore((dir_.Path() / "data/tirvel/records.db").string())
        .Import("ids", {"28"}, {{2, {"1001"}}, {3, {"1002"}}});
    ASSERT_TRUE(FillForm(kExampleProfile, Ports(2), "2", dir_.Path() / "r.csv"));
    ASSERT_TRUE(window_.Type(res::IDC_STATION_VALUES, table.string()));
    ASSERT_TRUE(window_.Type(res::IDC_STATION_POOL, "ids"));
    ASSERT_TRUE(window_.Click(res::IDC_STATION_START));
    WriteFile(table, "IMEI,2\n");
    ASSERT_TRUE(loop_.RunUntil([this] { return !view_.Running(); }, 120s));
    ASSERT_TRUE(view_.LastResult() && view_.LastResult()->Clean());
    std::set<std::string> ids;
    for (int k = 0; k < 2; ++k) {
        std::map<int, std::string> stored;
        for (const auto& e : EventsOf(Events(k), "set")) {
            stored[e["item"].get<int>()] = e["new_text"].get<std::string>();
        }
        EXPECT_EQ(stored[2], k == 0 ? "apn-one" : "apn-two");
        ids.insert(stored[28]);
        const std::string tile = window_.Text(res::StationTileId(k, res::kPartValues));
        EXPECT_TRUE(
            tile.starts_with(table.string() + " line " + std::to_string(k + 2) + ", pool ids row "))
            << tile;
        EXPECT_EQ(tile.back(), stored[28].back()) << tile;
    }
    EXPECT_EQ(ids, (std::set<std::string>{"1001", "1002"}));
}

// Where a device's own values came from is on its tile, as its worker tells.
TEST_F(StationWindow, ATileShowsWhereItsDevicesValuesCameFrom) {
    view_.SetWorkerProgram(SCRIPTED_WORKER_PATH);
    const fs::path script = dir_.Path() / "script.txt";
    WriteFile(script, "claim\nvalues v.csv line 3, pool ids row 17\nhang\n");
    ASSERT_TRUE(FillForm(script.string(), Link(0), "", dir_.Path() / "r.csv"));
    ASSERT_TRUE(window_.Click(res::IDC_STATION_START));
    const int shown = res::StationTileId(0, res::kPartValues);
    EXPECT_TRUE(loop_.RunUntil(
        [&] { return window_.Text(shown) == "v.csv line 3, pool ids row 17"; }, 60s));
    EXPECT_TRUE(window_.Visible(shown));
    ASSERT_TRUE(window_.Click(res::IDC_STATION_ABORT));
    ASSERT_TRUE(loop_.RunUntil([this] { return !view_.Running(); }, 60s));
}

// Every device is kept on record by its worker, and a tile shows what the
// records knew of its device before: a device worked again is worth a glance.
TEST_F(StationWindow, KeepsARecordOfEveryDeviceAndShowsTheEarlierWorkOnEach) {
    StartSimulators(2, {"--devices", "1"});
    const std::string db = (dir_.Path() / "data/tirvel/records.db").string();
    const records::DeviceRecord earlier =
        SampleRecord("860000000001001", "2026-12-01T08:00:00.000Z", records::Result::Failed);
    records::SqliteRecordStore(db).Add(earlier);
    ASSERT_TRUE(FillForm(kExampleProfile, Ports(2), "2", dir_.Path() / "r.csv"));
    ASSERT_TRUE(RunJob());
    ASSERT_TRUE(view_.LastResult() && view_.LastResult()->Clean());

    EXPECT_EQ(window_.Text(res::StationTileId(0, res::kPartHistory)),
              "Before: FAILED 2026-12-01 08:00Z (line1-st3)");
    EXPECT_EQ(window_.Text(res::StationTileId(1, res::kPartHistory)), "Not worked before");
    records::SqliteRecordStore store(db);
    const std::vector<records::DeviceRecord> kept = store.Find({});
    ASSERT_EQ(kept.size(), 3U);
    for (int k = 0; k < 2; ++k) {
        records::RecordQuery query;
        query.imei = "86000000000" + std::to_string(k + 1) + "001";
        const std::vector<records::DeviceRecord> found = store.Find(query);
        ASSERT_FALSE(found.empty()) << query.imei;
        EXPECT_EQ(found.front().result, records::Result::Ok);
        EXPECT_EQ(found.front().port, Link(k));
        EXPECT_EQ(found.front().profileName, kExampleProfile);
        EXPECT_EQ(store.Get(found.front().id)->items.size(), 5U);
    }
}

// A records file that cannot be used, typed into the form's records field,
// stops the job before a device is worked.
TEST_F(StationWindow, ARecordsFileThatIsNotOneIsRefusedBeforeAnyDevice) {
    StartSimulators(1, {"--devices", "1"});
    WriteFile(dir_.Path() / "bad.db", std::string(4096, 'Q'));
    const std::string setting = "sqlite:" + (dir_.Path() / "bad.db").string();
    ASSERT_TRUE(window_.Type(res::IDC_STATION_FILE, kExampleProfile));
    ASSERT_TRUE(window_.Type(res::IDC_STATION_PORTS, Ports(1)));
    ASSERT_TRUE(window_.Type(res::IDC_STATION_RECORDS, setting));
    EXPECT_EQ(view_.GetJobForm().records, setting);
    ASSERT_TRUE(window_.Click(res::IDC_STATION_START));
    EXPECT_FALSE(view_.Running());
    ASSERT_FALSE(window_.MessageBoxes().empty());
    ASSERT_FALSE(window_.MessageBoxes().back().args.empty());
    EXPECT_TRUE(Contains(window_.MessageBoxes().back().args[0], "not a records database"))
        << window_.MessageBoxes().back().args[0];
    EXPECT_TRUE(EventsOf(Events(0), "set").empty());
}

// The records database is one of the job's inputs: a report over one of its
// files, or records kept in the profile, is refused at Start.
TEST_F(StationWindow, AReportOverTheRecordsOrRecordsInTheProfileAreRefused) {
    StartSimulators(1, {"--devices", "1"});
    const fs::path db = dir_.Path() / "r.db";
    records::SqliteRecordStore(db.string()).Add(Numbered(1));
    const fs::path profile = dir_.Path() / "profile.ini";
    WriteFile(profile, "2. Server=10.1.2.3\r\n");
    ASSERT_TRUE(window_.Type(res::IDC_STATION_FILE, profile.string()));
    ASSERT_TRUE(window_.Type(res::IDC_STATION_PORTS, Ports(1)));
    for (const auto& [records, report] :
         {std::pair{db, dir_.Path() / "r.db-wal"}, {profile, dir_.Path() / "report.csv"}}) {
        window_.ClearMessageBoxes();
        ASSERT_TRUE(window_.Type(res::IDC_STATION_RECORDS, "sqlite:" + records.string()));
        ASSERT_TRUE(window_.Type(res::IDC_STATION_REPORT, report.string()));
        ASSERT_TRUE(window_.Click(res::IDC_STATION_START));
        EXPECT_FALSE(view_.Running());
        ASSERT_EQ(window_.MessageBoxes().size(), 1u) << report;
        EXPECT_TRUE(Contains(window_.MessageBoxes()[0].args.at(0), "records database"))
            << window_.MessageBoxes()[0].args.at(0);
        EXPECT_FALSE(fs::exists(report));
    }
    EXPECT_EQ(records::SqliteRecordStore(db.string()).Find({}).size(), 1u);
    EXPECT_EQ(ReadFile(profile), "2. Server=10.1.2.3\r\n");
    EXPECT_TRUE(EventsOf(Events(0), "port-open").empty());
}

TEST_F(StationWindow, WrongInputIsRefusedWithTheReasonAndNothingStarts) {
    StartSimulators(1, {"--devices", "1"});
    WriteFile(dir_.Path() / "profile.ini", "2. Server=10.1.2.3\r\n");
    struct Case {
        std::string file, ports, count;
        fw::UINT text;
        std::string values = {};
        std::string pool = {};
    };
    // The last: a table where the records database keeps its -wal.
    const fs::path wal = dir_.Path() / "data/tirvel/records.db-wal";
    fs::create_directories(wal.parent_path());
    WriteFile(wal, "IMEI,2\n");
    const Case cases[] = {
        {"", Link(0), "", res::IDS_STATION_TEXT},
        {(dir_.Path() / "profile.ini").string(), "", "", res::IDS_STATION_TEXT},
        {(dir_.Path() / "profile.ini").string(), "1-300", "", res::IDS_STATION_TEXT},
        {(dir_.Path() / "profile.ini").string(), Link(0), "0", res::IDS_STATION_TEXT},
        {(dir_.Path() / "absent.ini").string(), Link(0), "", res::IDS_STATION_TEXT},
        {kExampleProfile, Link(0), "", res::IDS_STATION_TEXT,
         (dir_.Path() / "profile.ini").string()},
        {kExampleProfile, Link(0), "", res::IDS_STATION_TEXT, wal.string()},
        // No such pool where the records go.
        {kExampleProfile, Link(0), "", res::IDS_STATION_TEXT, "", "ids"},
    };
    for (const Case& c : cases) {
        window_.ClearMessageBoxes();
        window_.Type(res::IDC_STATION_FILE, c.file);
        window_.Type(res::IDC_STATION_PORTS, c.ports);
        window_.Type(res::IDC_STATION_COUNT, c.count);
        window_.Type(res::IDC_STATION_VALUES, c.values);
        window_.Type(res::IDC_STATION_POOL, c.pool);
        ASSERT_TRUE(window_.Click(res::IDC_STATION_START));
        EXPECT_FALSE(view_.Running()) << c.file << " " << c.ports;
        ASSERT_EQ(window_.MessageBoxes().size(), 1u) << c.file << " " << c.ports;
        EXPECT_EQ(window_.MessageBoxes()[0].captionId, res::IDS_STATION_CAPTION);
        EXPECT_FALSE(window_.MessageBoxes()[0].args.at(0).empty());
    }
    // The last: the pool's own refusal.
    EXPECT_TRUE(Contains(window_.MessageBoxes()[0].args.at(0), "tirvelctl pool list"));
    EXPECT_TRUE(EventsOf(Events(0), "port-open").empty());
}

TEST_F(StationWindow, PickedPortsJoinThoseTypedAndTheListIsReadAgainWhenItDropsDown) {
    std::vector<serial::PresentPort> present{{"/dev/ttyUSB0", 1}, {"/dev/ttyUSB1", 2}};
    view_.SetPortLister([&present] { return present; });
    constexpr int kPorts = res::IDC_STATION_PORTS;
    // The pick lands from a posted message, once the drop-down is done with it.
    const auto land = [this] { return loop_.PumpOne(fw::CMessageLoop::Clock::now()); };
    ASSERT_TRUE(window_.DropDown(kPorts));
    EXPECT_EQ(window_.Items(kPorts), (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"}));
    ASSERT_TRUE(window_.Choose(kPorts, 1));
    ASSERT_TRUE(land());
    EXPECT_EQ(window_.Text(kPorts), "/dev/ttyUSB1");

    // An adapter plugged in since shows the next time the list drops down.
    present.push_back({"/dev/ttyUSB10", 3});
    ASSERT_TRUE(window_.DropDown(kPorts));
    ASSERT_EQ(window_.Items(kPorts).size(), 3u);
    ASSERT_TRUE(window_.Choose(kPorts, 2));
    ASSERT_TRUE(land());
    EXPECT_EQ(window_.Text(kPorts), "/dev/ttyUSB1,/dev/ttyUSB10");
    ASSERT_TRUE(window_.DropDown(kPorts));
    ASSERT_TRUE(window_.Choose(kPorts, 1));  // named already
    ASSERT_TRUE(land());
    EXPECT_EQ(window_.Text(kPorts), "/dev/ttyUSB1,/dev/ttyUSB10");

    // Running through the list with the arrow keys adds the last one only.
    ASSERT_TRUE(window_.Type(kPorts, "/dev/ttyUSB1"));
    for (std::size_t item : {0u, 2u}) {
        ASSERT_TRUE(window_.Choose(kPorts, item));
        ASSERT_TRUE(land());
    }
    EXPECT_EQ(window_.Text(kPorts), "/dev/ttyUSB1,/dev/ttyUSB10");

    // COM numbers typed: the device's number joins them.
    ASSERT_TRUE(window_.Type(kPorts, "4"));
    ASSERT_TRUE(window_.DropDown(kPorts));
    ASSERT_TRUE(window_.Choose(kPorts, 0));
    ASSERT_TRUE(land());
    EXPECT_EQ(window_.Text(kPorts), "4,1");
    EXPECT_EQ(view_.GetJobForm().ports, "4,1");
}

TEST_F(StationWindow, AbortCancelsTheDevicesInFlightAndNoWorkerOutlivesTheJob) {
    StartSimulators(2, {"--devices", "2"});
    WriteFile(dir_.Path() / "fw.bin", Noise(128 * 2000));
    ASSERT_TRUE(FillUpdateForm(Ports(2), "", dir_.Path() / "r.csv"));
    ASSERT_TRUE(window_.Click(res::IDC_STATION_START));
    ASSERT_TRUE(loop_.RunUntil(
        [this] {
            return Contains(window_.Text(res::StationTileId(0, res::kPartState)), "sending") &&
                   Contains(window_.Text(res::StationTileId(1, res::kPartState)), "sending");
        },
        60s));
    ASSERT_TRUE(window_.Click(res::IDC_STATION_ABORT));
    ASSERT_TRUE(loop_.RunUntil([this] { return !view_.Running(); }, 60s));
    ASSERT_TRUE(view_.LastResult());
    EXPECT_TRUE(view_.LastResult()->interrupted);
    // The verdict in a word, on its colour.
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(window_.Text(res::StationTileId(k, res::kPartVerdict)), "FAILED");
        const fw::TextLook* look = window_.TextLookOf(res::StationTileId(k, res::kPartVerdict));
        ASSERT_NE(look, nullptr);
        EXPECT_TRUE(look->hasBackground);
    }
}

TEST_F(StationWindow, APortThatCannotBeOpenedIsOutOfUseAndTheOthersGoOn) {
    StartSimulators(1, {"--devices", "1"});
    WriteFile(dir_.Path() / "fw.bin", Noise(128 * 10));
    const std::string absent = (dir_.Path() / "absent").string();
    ASSERT_TRUE(FillUpdateForm(Link(0) + "," + absent, "", dir_.Path() / "r.csv"));
    ASSERT_TRUE(RunJob());
    ASSERT_TRUE(view_.LastResult());
    EXPECT_EQ(view_.LastResult()->done, 1);
    EXPECT_EQ(view_.LastResult()->outOfUse, 1);
    EXPECT_EQ(window_.Text(res::StationTileId(0, res::kPartVerdict)), "OK");
    const std::string state = window_.Text(res::StationTileId(1, res::kPartState));
    EXPECT_TRUE(Contains(state, "out of use")) << state;
    EXPECT_TRUE(Contains(state, absent)) << state;
}

TEST_F(StationWindow, AWorkerKilledMidTransferFailsItsDeviceAndItsPortGoesOn) {
    StartSimulators(2, {"--devices", "2"});
    // Long enough to be killed while it sends, short enough that four of them
    // stay quick under the sanitizers.
    WriteFile(dir_.Path() / "fw.bin", Noise(1024 * 1024));
    const fs::path report = dir_.Path() / "r.csv";
    ASSERT_TRUE(FillUpdateForm(Ports(2), "4", report));
    ASSERT_TRUE(window_.Click(res::IDC_STATION_START));
    ASSERT_TRUE(loop_.RunUntil(
        [this] {
            return Contains(window_.Text(res::StationTileId(0, res::kPartState)), "sending");
        },
        60s));
    const std::vector<pid_t> workers = WorkersOn(Link(0));
    ASSERT_EQ(workers.size(), 1u);
    ::kill(workers.front(), SIGKILL);
    ASSERT_TRUE(loop_.RunUntil([this] { return !view_.Running(); }, 180s));
    ASSERT_TRUE(view_.LastResult());
    EXPECT_EQ(view_.LastResult()->done, 4);
    EXPECT_EQ(view_.LastResult()->failed, 1);
    // The killed worker's device is failed; the port went on to its next.
    const auto rows = ReportRowsByPort(report);
    ASSERT_EQ(rows.at(Link(0)).size(), 2u) << ReadFile(report);
    EXPECT_EQ(rows.at(Link(0))[0].at(4), "failed") << ReadFile(report);
    EXPECT_EQ(rows.at(Link(0))[1].at(4), "OK") << ReadFile(report);
    EXPECT_EQ(window_.Text(res::StationTileId(0, res::kPartCounts)), "OK 1    Failed 1");
}

TEST_F(StationWindow, FinishTakesNoNewDeviceAndLetsThoseInFlightEnd) {
    StartSimulators(2, {"--devices", "3"});
    const fs::path report = dir_.Path() / "batch.csv";
    ASSERT_TRUE(FillForm(kExampleProfile, Ports(2), "", report));
    // No count: a configuration goes on until Finish.
    ASSERT_TRUE(window_.Click(res::IDC_STATION_START));
    ASSERT_TRUE(loop_.RunUntil([this] { return view_.Shown().done >= 1; }, 60s));
    ASSERT_TRUE(window_.Click(res::IDC_STATION_FINISH));
    ASSERT_TRUE(loop_.RunUntil([this] { return !view_.Running(); }, 60s));
    ASSERT_TRUE(view_.LastResult());
    EXPECT_TRUE(view_.LastResult()->interrupted);
    EXPECT_EQ(view_.LastResult()->failed, 0);
    // Every device taken was finished, none cut off.
    const std::vector<std::string> lines = Lines(ReadFile(report));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(view_.LastResult()->done) + 1)
        << ReadFile(report);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(Contains(lines[i], ",OK,")) << lines[i];
    }
    EXPECT_LT(view_.LastResult()->done, 6);
}

}  // namespace
