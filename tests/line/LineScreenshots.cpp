// line_screenshots OUT_DIR: pictures of the dashboard for the docs
// (scripts/screenshots-line.sh), line-en.png and line-zh.png. Three stations
// write their state as stations do, one of them gone quiet, and a day of
// records lies behind them, on a PostgreSQL server of its own.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>

#include "DashboardData.h"
#include "LineServer.h"
#include "PostgresServer.h"
#include "SampleRecord.h"
#include "WebDriver.h"
#include "records/PostgresRecordStore.h"

namespace {

using namespace std::chrono_literals;

struct PortLook {
    const char* phase;
    const char* state;
    const char* stateZh;
    int permille;
    const char* verdict;
    const char* verdictZh;
    bool ok;
};

// A port in every phase a line sees, in the words of a station run in
// English and of one run in Chinese: each station words its own state.
constexpr PortLook kPorts[] = {
    {"working", "writing APN", "正在写入 APN", 420, "OK", "成功", true},
    {"working", "reading back", "正在回读", 810, "OK", "成功", true},
    {"ok", "done", "完成", 1000, "OK", "成功", true},
    {"failed", "read-back differs", "回读不一致", 1000, "APN refused", "APN 被拒绝", false},
    {"working", "waiting for the boot loader", "等待引导程序", 60, "OK", "成功", true},
    {"idle", "waiting for a device", "等待设备", 0, "", "", true},
    {"working", "sending firmware", "正在发送固件", 655, "No answer", "无应答", false},
    {"out_of_use", "taken out of use", "已停用", 0, "No answer", "无应答", false},
};

records::LineStation Station(const std::string& name, const std::string& job,
                             const std::string& file, int shift, double rate, bool chinese) {
    records::LineStation station = linetest::WorkingStation(name, 8);
    station.job = job;
    station.fileName = file;
    station.devicesPerHour = rate;
    station.done = 180 + shift * 37;
    station.failed = 4 + shift;
    for (int i = 0; i < 8; ++i) {
        const PortLook& look = kPorts[(i + shift) % 8];
        records::LinePort& port = station.ports[i];
        port.phase = look.phase;
        port.stateText = chinese ? look.stateZh : look.state;
        port.permille = look.permille;
        port.lastVerdict = chinese ? look.verdictZh : look.verdict;
        port.lastOk = look.ok;
        port.imeiText = std::string(look.phase) == "idle" ? "" : port.imeiText;
        port.ok = 20 + i;
        port.failed = i % 3;
    }
    return station;
}

// A day of work: each station a record every few minutes, some failed.
void Records(records::PostgresRecordStore& store) {
    const char* names[] = {"L1-A", "L1-B", "L2-A"};
    int serial = 0;
    for (int s = 0; s < 3; ++s) {
        for (int minutes = 24 * 60 - 5; minutes > 0; minutes -= 9 + 3 * s + (minutes / 60) % 5) {
            ++serial;
            const bool failed = serial % 13 == 0 || serial % 29 == 0;
            char imei[20];
            std::snprintf(imei, sizeof imei, "86012%010d", serial);
            auto record = testsupport::SampleRecord(
                imei, linetest::SecondsAgo(minutes * 60),
                failed ? records::Result::Failed : records::Result::Ok, names[s]);
            if (failed) {
                record.messageId = serial % 13 == 0 ? "IDS_CLI_APN_REFUSED" : "IDS_CLI_NO_ANSWER";
                record.message = serial % 13 == 0 ? "APN refused" : "No answer";
            }
            store.Add(record);
        }
    }
}

void Shoot(const testsupport::LineServer& line, const std::string& language,
           const std::filesystem::path& png) {
    testsupport::WebDriver browser(language);
    browser.SetWindowSize(1400, 1480);
    browser.Navigate(line.Url("/"));
    browser.Type("#login-user", "anna");
    browser.Type("#login-password", "line-7-secret");
    browser.Click("#login-submit");
    const bool shown =
        browser.WaitUntil([&] { return browser.FindAll("[data-station]").size() == 3; },
                          "3 tiles") &&
        browser.WaitUntil(
            [&] { return browser.FindAll("#failures [data-message-id]").size() == 2; },
            "the failures") &&
        browser.WaitUntil(
            [&] {
                return !browser
                            .Execute(
                                "return document.getElementById('chart')"
                                ".dataset.series || ''")
                            .get<std::string>()
                            .empty();
            },
            "the chart");
    if (!shown) {
        throw std::runtime_error("the dashboard did not fill: " + browser.PageText());
    }
    std::this_thread::sleep_for(500ms);  // the last frame drawn
    browser.Screenshot(png);
    std::cout << png.string() << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: line_screenshots OUT_DIR\n";
        return 2;
    }
    try {
        testsupport::PostgresServer server;
        const std::string uri = server.NewDatabase();
        records::PostgresRecordStore store(uri, 10s);
        Records(store);
        auto link = records::OpenLineStateLink(uri, 10s, 10s, {}, nullptr);
        link->Write(Station("L1-A", "batch", "apn-internet.txt", 0, 112.4, false), true);
        link->Write(Station("L1-B", "update", "KV-2.1.8.bin", 3, 64.0, true), true);
        link->Write(Station("L2-A", "batch", "apn-internet.txt", 5, 0.0, false), true);
        // A station gone quiet: the dashboard calls it offline.
        testsupport::PostgresServer::Scalar(
            uri,
            "UPDATE line_stations SET heartbeat_at = now() - interval '10 minutes', "
            "phase = 'ended' WHERE station = 'L2-A'");

        testsupport::LineServer line(TIRVEL_LINE_PATH, uri);
        line.AddUser("anna", "admin", "line-7-secret");
        const std::filesystem::path out = argv[1];
        Shoot(line, "en-US", out / "line-en.png");
        Shoot(line, "zh-CN", out / "line-zh.png");
    } catch (const std::exception& e) {
        std::cerr << "line_screenshots: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
