// The line end to end: three stations (tirvelctl as a station, each port a
// simulated device on a pseudo-terminal) publishing to a real PostgreSQL,
// tirvel-line serving it, and the dashboard in a real browser following
// them live, then finding one of their devices by IMEI.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LineServer.h"
#include "PostgresTest.h"
#include "SimulatedPorts.h"
#include "ToolRunTest.h"
#include "WebDriver.h"
#include "records/PostgresRecordStore.h"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::ReadFile;
using testsupport::WebDriver;

const std::string kProfile =
    (fs::path(TIRVEL_SOURCE_DIR) / "cli/examples/apn-profile.txt").string();
const std::string kUser = "mei";
const std::string kPassword = "line-3-stations";
constexpr int kStations = 3;
constexpr int kPortsEach = 2;
constexpr int kDevicesEach = 2;
// What the page is given to show a change the server has.
constexpr auto kPageReaction = std::chrono::seconds(2);

std::string StationName(int i) {
    return "L3-" + std::to_string(i + 1);
}

// Every station's row and its ports' rows in one read, so that a snapshot
// is one moment of the server's.
const char* const kServerState = R"sql(
    SELECT coalesce(json_agg(json_build_object(
        'station', s.station, 'done', s.done, 'phase', s.phase,
        'ports', (SELECT coalesce(json_agg(json_build_object(
                      'port', p.port_no, 'phase', p.phase, 'imei', p.imei_text)
                      ORDER BY p.port_no), '[]')
                  FROM line_station_ports p WHERE p.station = s.station))
        ORDER BY s.station), '[]')
    FROM line_stations s)sql";

// The same, as the page shows it.
const char* const kPageState = R"(
    return [...document.querySelectorAll('[data-station]')].map((s) => ({
        station: s.dataset.station,
        phase: s.dataset.phase || '',
        done: parseInt(s.querySelector('.counts').textContent, 10),
        ports: [...s.querySelectorAll('[data-port]')].map((p) => ({
            port: Number(p.dataset.port), phase: p.dataset.phase || '',
            imei: p.querySelector('.imei').textContent})),
    }));)";

const Json* ByKey(const Json& list, const char* key, const Json& value) {
    for (const Json& entry : list) {
        if (entry[key] == value) {
            return &entry;
        }
    }
    return nullptr;
}

// What the server has shown and the page owes: each change seen on the
// server is to be on the page within kPageReaction of being seen there.
// Counts and IMEIs only go up on a port, so a page that has moved past a
// change has shown it too.
class PageOwes {
public:
    using Check = std::function<bool(const Json& page)>;

    void Add(std::string what, Check met) {
        owed_.push_back({std::move(what), std::move(met), Clock::now() + kPageReaction});
    }
    // The page as read from `readAt` on: what it shows is paid, what it
    // still owes past the time is a failure.
    ::testing::AssertionResult Settle(const Json& page, Clock::time_point readAt) {
        for (auto it = owed_.begin(); it != owed_.end();) {
            if (it->met(page)) {
                it = owed_.erase(it);
            } else if (readAt > it->by) {
                return ::testing::AssertionFailure()
                       << "not on the page within 2 s of the server having it: " << it->what
                       << "\nthe page: " << page.dump();
            } else {
                ++it;
            }
        }
        return ::testing::AssertionSuccess();
    }
    bool Empty() const { return owed_.empty(); }

private:
    struct Owed {
        std::string what;
        Check met;
        Clock::time_point by;
    };
    std::vector<Owed> owed_;
};

// What the page owes for a change from `before` to `now` on one station.
void Owe(PageOwes& owes, const Json* before, const Json& now) {
    const std::string name = now["station"];
    const auto tile = [name](const Json& page) { return ByKey(page, "station", name); };
    if (!before || before->at("done") != now["done"]) {
        const int done = now["done"];
        owes.Add(name + " done " + std::to_string(done), [=](const Json& page) {
            const Json* shown = tile(page);
            return shown && shown->at("done").is_number() && shown->at("done") >= done;
        });
    }
    for (const Json& port : now["ports"]) {
        const Json* was = before ? ByKey(before->at("ports"), "port", port["port"]) : nullptr;
        const std::string imei = port["imei"];
        if (!imei.empty() && (!was || was->at("imei") != imei)) {
            const int no = port["port"];
            owes.Add(name + " port " + std::to_string(no) + " IMEI " + imei, [=](const Json& page) {
                const Json* shown = tile(page);
                const Json* p = shown ? ByKey(shown->at("ports"), "port", no) : nullptr;
                // The simulator's IMEIs count up: a later one is past it.
                return p && p->at("imei").get<std::string>().size() == imei.size() &&
                       p->at("imei").get<std::string>() >= imei;
            });
        }
    }
    // The end is the last change: the page is to show it as it is.
    if (now["phase"] == "ended" && (!before || before->at("phase") != "ended")) {
        owes.Add(name + " ended: " + now.dump(), [=](const Json& page) {
            const Json* shown = tile(page);
            if (!shown || shown->at("phase") != "ended" ||
                shown->at("ports").size() != now["ports"].size()) {
                return false;
            }
            for (const Json& port : now["ports"]) {
                const Json* p = ByKey(shown->at("ports"), "port", port["port"]);
                if (!p || p->at("phase") != port["phase"] || p->at("imei") != port["imei"]) {
                    return false;
                }
            }
            return true;
        });
    }
}

class LineStationsTest : public testsupport::PostgresTestOn<testsupport::ToolRunTest> {
protected:
    void SetUp() override {
        if (const std::string why = WebDriver::Unavailable(); !why.empty()) {
            GTEST_SKIP() << why;
        }
        PostgresTestOn::SetUp();
        if (IsSkipped()) {
            return;
        }
        // The schema as the first station would make it, so that the line's
        // server is up before any station is.
        records::PostgresRecordStore(Uri(), 10s);
        line_ = std::make_unique<testsupport::LineServer>(TIRVEL_LINE_PATH, Uri());
        line_->AddUser(kUser, "viewer", kPassword);
        // Devices slow enough to keep their ports working for seconds: the
        // page has the states between to show, not only the end.
        ports_.Start(kStations * kPortsEach,
                     {"--devices", std::to_string(kDevicesEach), "--reply-delay", "60"});
    }

    // Each station its own records file, as on a machine of its own.
    fs::path DataOf(int i) const { return dir_.Path() / StationName(i); }

    void StartStation(int i) {
        SetEnv("XDG_DATA_HOME", DataOf(i).string());
        std::vector<std::string> args = {"--records", Uri(), "--station", StationName(i)};
        for (int k = i * kPortsEach; k < (i + 1) * kPortsEach; ++k) {
            args.insert(args.end(), {"--device", ports_.Link(k)});
        }
        args.insert(args.end(),
                    {"batch", kProfile, "--count", std::to_string(kPortsEach * kDevicesEach)});
        stations_.push_back({StartRun(TIRVELCTL_PATH, args), Err()});
    }

    void SignIn(WebDriver& browser) {
        browser.Navigate(line_->Url("/"));
        browser.Type("#login-user", kUser);
        browser.Type("#login-password", kPassword);
        browser.Click("#login-submit");
        ASSERT_TRUE(browser.WaitForText("#me-user", kUser));
        ASSERT_TRUE(browser.WaitForText("#live", "live"));
    }

    struct Station {
        std::unique_ptr<testsupport::ChildProcess> process;
        fs::path err;
    };
    std::unique_ptr<testsupport::LineServer> line_;
    testsupport::SimulatedPorts ports_{dir_.Path()};
    std::vector<Station> stations_;
};

TEST_F(LineStationsTest, ThreeStationsShowLiveAndTheirDevicesAreFoundByImei) {
    WebDriver browser;
    SignIn(browser);
    for (int i = 0; i < kStations; ++i) {
        StartStation(i);
    }

    // Server and page side by side until every station has ended and the
    // page has shown it.
    PageOwes owes;
    Json server = Json::array();
    std::map<std::string, std::map<int, std::vector<std::string>>> phasesShown;
    const auto deadline = Clock::now() + 4min;
    for (;;) {
        const Json now = Json::parse(Scalar(kServerState));
        for (const Json& station : now) {
            Owe(owes, ByKey(server, "station", station["station"]), station);
        }
        server = now;
        const auto readAt = Clock::now();
        const Json page = browser.Execute(kPageState);
        ASSERT_TRUE(owes.Settle(page, readAt));
        for (const Json& tile : page) {
            for (const Json& port : tile["ports"]) {
                auto& seen = phasesShown[tile["station"]][port["port"]];
                if (seen.empty() || seen.back() != port["phase"]) {
                    seen.push_back(port["phase"]);
                }
            }
        }
        const bool allEnded = server.size() == kStations &&
                              std::all_of(server.begin(), server.end(),
                                          [](const Json& s) { return s["phase"] == "ended"; });
        if (allEnded && owes.Empty()) {
            break;
        }
        ASSERT_LT(Clock::now(), deadline) << "the stations did not end: " << server.dump();
        std::this_thread::sleep_for(100ms);
    }
    for (int i = 0; i < kStations; ++i) {
        SCOPED_TRACE(StationName(i));
        ASSERT_EQ(stations_[i].process->Wait(1min), 0) << ReadFile(stations_[i].err);
    }

    // Every tile, every port seen at work and then done.
    ASSERT_EQ(phasesShown.size(), static_cast<std::size_t>(kStations));
    for (int i = 0; i < kStations; ++i) {
        const std::string name = StationName(i);
        SCOPED_TRACE(name);
        const std::string tile = "[data-station=\"" + name + "\"]";
        EXPECT_EQ(*browser.TextOf(tile + " .counts"),
                  std::to_string(kPortsEach * kDevicesEach) + " / 0 / " +
                      std::to_string(kPortsEach * kDevicesEach));
        ASSERT_EQ(phasesShown[name].size(), static_cast<std::size_t>(kPortsEach));
        for (int k = 0; k < kPortsEach; ++k) {
            SCOPED_TRACE(k);
            const auto& seen = phasesShown[name][k];
            EXPECT_NE(std::find(seen.begin(), seen.end(), "working"), seen.end())
                << testing::PrintToString(seen);
            const std::string port = tile + " [data-port=\"" + std::to_string(k) + "\"]";
            EXPECT_EQ(*browser.TextOf(port + " .imei"), "86000000000" +
                                                            std::to_string(i * kPortsEach + k + 1) +
                                                            "00" + std::to_string(kDevicesEach));
            EXPECT_EQ(browser.Attribute(browser.Get(port), "data-verdict"), "ok");
        }
    }

    // What a station's file still holds goes to the server, as an operator
    // would send it; then a device of the middle station, by its IMEI.
    for (int i = 0; i < kStations; ++i) {
        SetEnv("XDG_DATA_HOME", DataOf(i).string());
        const auto push =
            Finish(*StartRun(TIRVELCTL_PATH, {"--records", Uri(), "records", "push"}), 1min);
        ASSERT_EQ(push.exit, 0) << push.err;
    }
    const std::string imei = "860000000003002";
    browser.Type("#imei-input", imei);
    browser.Click("#imei-submit");
    ASSERT_TRUE(browser.WaitForText("#records-title", "History of IMEI " + imei));
    ASSERT_TRUE(
        browser.WaitUntil([&] { return browser.FindAll("#records [data-record-id]").size() == 1; },
                          "the device's record"));
    const auto row = browser.Get("#records [data-record-id]");
    EXPECT_EQ(browser.Attribute(row, "data-result"), "ok");
    EXPECT_EQ(*browser.TextOf("#records [data-record-id] .station"), StationName(1));
    EXPECT_EQ(*browser.TextOf("#records [data-record-id] .port"), ports_.Link(2));
    browser.Click("#records [data-record-id] button");
    ASSERT_TRUE(browser.WaitUntil([&] { return browser.FindAll("#items [data-seq]").size() == 5; },
                                  "the profile's five items"));
    // The items as the profile wanted them and the device read back.
    const Json items = browser.Execute(R"(
        return [...document.querySelectorAll('#items [data-seq]')].map((r) =>
            [r.querySelector('.name').textContent, r.querySelector('.wanted').textContent,
             r.querySelector('.after').textContent]);)");
    const Json* apn = nullptr;
    for (const Json& item : items) {
        EXPECT_EQ(item[1], item[2]) << item.dump();
        if (item[0].get<std::string>().find("APN User") == std::string::npos &&
            item[0].get<std::string>().find("APN") != std::string::npos) {
            apn = &item;
        }
    }
    ASSERT_NE(apn, nullptr) << items.dump();
    EXPECT_EQ(apn->at(2), "iot.kavrel.example");
}

}  // namespace
