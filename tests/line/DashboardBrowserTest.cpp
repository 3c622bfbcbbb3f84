// The dashboard in a real browser (headless Chromium) against tirvel-line on
// a real PostgreSQL: logging in, a station's change arriving live, a device's
// history, the failures, the two languages.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "DashboardData.h"
#include "LineServer.h"
#include "PostgresTest.h"
#include "SampleRecord.h"
#include "WebDriver.h"
#include "records/LineState.h"
#include "records/PostgresRecordStore.h"

namespace {

using namespace std::chrono_literals;
using testsupport::WebDriver;

const std::string kAdmin = "anna";
const std::string kPassword = "line-7-secret";
const std::string kStation = "L1-A";

class DashboardTest : public testsupport::PostgresTest {
protected:
    void SetUp() override {
        if (const std::string why = WebDriver::Unavailable(); !why.empty()) {
            GTEST_SKIP() << why;
        }
        testsupport::PostgresTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        // The schema as the stations make it, then the line's server on it.
        store_ = std::make_unique<records::PostgresRecordStore>(Uri(), 10s);
        records::OpenLineStateLink(Uri(), 10s, 10s, {}, nullptr)
            ->Write(linetest::WorkingStation(kStation, 2), true);
        line_ = std::make_unique<testsupport::LineServer>(TIRVEL_LINE_PATH, Uri());
        line_->AddUser(kAdmin, "admin", kPassword);
    }

    // A record of the device, started that many seconds ago.
    records::DeviceRecord Record(const std::string& imei, int secondsAgo, records::Result result,
                                 const std::string& messageId, const std::string& message) {
        auto record =
            testsupport::SampleRecord(imei, linetest::SecondsAgo(secondsAgo), result, kStation);
        record.messageId = messageId;
        record.message = message;
        store_->Add(record);
        return record;
    }

    WebDriver& Browser(const std::string& language = "en-US") {
        browser_ = std::make_unique<WebDriver>(language);
        return *browser_;
    }

    // Signed in through the login page, on the dashboard.
    WebDriver& SignedIn(const std::string& language = "en-US") {
        WebDriver& browser = Browser(language);
        browser.Navigate(line_->Url("/"));
        // Not signed in: the page is the login page.
        browser.Type("#login-user", kAdmin);
        browser.Type("#login-password", kPassword);
        browser.Click("#login-submit");
        EXPECT_TRUE(browser.WaitForText("#me-user", kAdmin));
        return browser;
    }

    std::unique_ptr<records::PostgresRecordStore> store_;
    std::unique_ptr<testsupport::LineServer> line_;
    std::unique_ptr<WebDriver> browser_;
};

TEST_F(DashboardTest, AWrongPasswordIsRefusedAndTheRightOneOpensTheDashboard) {
    WebDriver& browser = Browser();
    browser.Navigate(line_->Url("/"));
    browser.Type("#login-user", kAdmin);
    browser.Type("#login-password", "not-the-password");
    browser.Click("#login-submit");
    ASSERT_TRUE(browser.WaitForText("#login-error", "Wrong user or password."));
    EXPECT_EQ(browser.Url(), line_->Url("/login"));

    browser.Clear(browser.Get("#login-password"));
    browser.Type("#login-password", kPassword);
    browser.Click("#login-submit");
    ASSERT_TRUE(browser.WaitForText("#me-user", kAdmin));
    EXPECT_TRUE(browser.WaitForText("#me-role", "administrator"));
    EXPECT_TRUE(browser.WaitForText("[data-station=\"" + kStation + "\"] .name", kStation));
    // An administrator manages the API tokens.
    EXPECT_TRUE(
        browser.WaitUntil([&] { return browser.Find("#tokens-section:not([hidden])").has_value(); },
                          "the tokens' section"));

    browser.Click("#logout");
    ASSERT_TRUE(browser.WaitUntil([&] { return browser.Url() == line_->Url("/login"); },
                                  "the login page after signing out"));
    // The session is over: the dashboard sends the browser back.
    browser.Navigate(line_->Url("/"));
    EXPECT_TRUE(browser.WaitForText("#login-form", "Sign in"));
}

TEST_F(DashboardTest, AStationsPortChangeShowsLive) {
    WebDriver& browser = SignedIn();
    const std::string port = "[data-station=\"" + kStation + "\"] [data-port=\"0\"]";
    ASSERT_TRUE(browser.WaitForText(port + " .phase", "working"));
    ASSERT_TRUE(browser.WaitForText(port + " .percent", "25 %"));
    const std::string other =
        *browser.TextOf("[data-station=\"" + kStation + "\"] [data-port=\"1\"]");

    Scalar(
        "UPDATE line_station_ports SET phase = 'failed', permille = 1000, "
        "last_verdict = 'APN refused', last_ok = false, state_text = 'read-back differs' "
        "WHERE station = '" +
        kStation + "' AND port_no = 0");
    Scalar("SELECT pg_notify('tirvel_line', '" + kStation + "')");

    ASSERT_TRUE(browser.WaitForText(port + " .phase", "✗ failed", 2s));
    EXPECT_TRUE(browser.WaitForText(port + " .verdict", "✗ APN refused"));
    EXPECT_TRUE(browser.WaitForText(port + " .percent", "100 %"));
    EXPECT_TRUE(browser.WaitForText(port + " .state", "read-back differs"));
    EXPECT_EQ(*browser.TextOf("[data-station=\"" + kStation + "\"] [data-port=\"1\"]"), other);
}

TEST_F(DashboardTest, AnImeiSearchGivesTheDevicesHistoryAndItsItems) {
    const std::string imei = "860123456789012";
    Record(imei, 600, records::Result::Failed, "IDS_CLI_APN_REFUSED", "APN refused");
    const auto last = Record(imei, 60, records::Result::Ok, "IDS_CLI_READ_BACK_HOLDS", "OK");
    Record("860000000000001", 30, records::Result::Ok, "IDS_CLI_READ_BACK_HOLDS", "OK");

    WebDriver& browser = SignedIn();
    browser.Type("#imei-input", imei);
    browser.Click("#imei-submit");
    ASSERT_TRUE(browser.WaitForText("#records-title", "History of IMEI " + imei));
    ASSERT_TRUE(
        browser.WaitUntil([&] { return browser.FindAll("#records [data-record-id]").size() == 2; },
                          "the device's two records"));
    // Newest first, and only this device's.
    const auto rows = browser.FindAll("#records [data-record-id]");
    EXPECT_EQ(browser.Attribute(rows[0], "data-record-id"), last.id);
    EXPECT_EQ(browser.Attribute(rows[0], "data-result"), "ok");
    EXPECT_EQ(browser.Attribute(rows[1], "data-result"), "failed");
    EXPECT_EQ(*browser.TextOf("#records [data-record-id] .imei"), imei);
    EXPECT_TRUE(browser.Find("#records-csv[href*=\"format=csv\"][href*=\"imei=" + imei + "\"]"));

    browser.Click("#records [data-record-id=\"" + last.id + "\"] button");
    ASSERT_TRUE(browser.WaitForText("#items-title", last.id));
    ASSERT_TRUE(browser.WaitForText("#items [data-seq] .name", "APN"));
    EXPECT_EQ(*browser.TextOf("#items [data-seq] .before"), "cmnet");
    EXPECT_EQ(*browser.TextOf("#items [data-seq] .wanted"), "internet");
    EXPECT_EQ(*browser.TextOf("#items [data-seq] .after"), "internet");
    // The device's own bytes, in the code page the record names (GB18030).
    EXPECT_TRUE(browser.WaitForText("#items", "参数"));
}

TEST_F(DashboardTest, AFailureOpensItsRecords) {
    Record("860000000000011", 300, records::Result::Failed, "IDS_CLI_APN_REFUSED", "APN refused");
    Record("860000000000012", 200, records::Result::Failed, "IDS_CLI_APN_REFUSED", "APN refused");
    Record("860000000000013", 100, records::Result::Failed, "IDS_CLI_NO_ANSWER", "No answer");
    Record("860000000000014", 50, records::Result::Ok, "IDS_CLI_READ_BACK_HOLDS", "OK");

    WebDriver& browser = SignedIn();
    // Largest first.
    ASSERT_TRUE(browser.WaitUntil(
        [&] { return browser.FindAll("#failures [data-message-id]").size() == 2; },
        "two failures"));
    EXPECT_EQ(*browser.TextOf("#failures [data-message-id] .message"), "APN refused");
    EXPECT_EQ(*browser.TextOf("#failures [data-message-id] .count"), "2");

    browser.Click("#failures [data-message-id=\"IDS_CLI_APN_REFUSED\"] button");
    ASSERT_TRUE(browser.WaitForText("#records-title", "Failed with: APN refused"));
    ASSERT_TRUE(
        browser.WaitUntil([&] { return browser.FindAll("#records [data-record-id]").size() == 2; },
                          "the failure's two records"));
    for (const auto& row : browser.FindAll("#records [data-record-id]")) {
        EXPECT_EQ(browser.Attribute(row, "data-result"), "failed");
    }
    EXPECT_TRUE(browser.WaitForText("#records", "860000000000012"));
    EXPECT_EQ(browser.PageText().find("860000000000013"), std::string::npos);
}

// The browser's language picks the page's; the switch turns it and is kept.
TEST_F(DashboardTest, TheLanguageFollowsTheBrowserAndTheSwitch) {
    WebDriver& browser = SignedIn("zh-CN");
    ASSERT_TRUE(browser.WaitForText("#stations-title", "工位"));
    EXPECT_TRUE(browser.WaitForText("[data-station=\"" + kStation + "\"] [data-port=\"0\"] .phase",
                                    "◔ 工作中"));

    browser.Click("#lang-switch");
    ASSERT_TRUE(browser.WaitForText("#stations-title", "Stations"));
    EXPECT_TRUE(browser.WaitForText("[data-station=\"" + kStation + "\"] [data-port=\"0\"] .phase",
                                    "◔ working"));
    EXPECT_TRUE(browser.WaitForText("#lang-switch", "中文"));
    EXPECT_EQ(browser.Execute("return document.documentElement.lang"), "en");

    // Kept over a reload, whatever the browser asks for.
    browser.Navigate(line_->Url("/"));
    ASSERT_TRUE(browser.WaitForText("#me-user", kAdmin));
    EXPECT_TRUE(browser.WaitForText("#stations-title", "Stations"));
    browser.Click("#lang-switch");
    EXPECT_TRUE(browser.WaitForText("#totals-title", "合计"));
    EXPECT_TRUE(browser.WaitForText("#me-role", "管理员"));

    // Every text the page names is there in both languages.
    const auto missing = browser.Execute(R"(
        const keys = new Set([...document.querySelectorAll('[data-i18n], [data-label]')]
            .map((e) => e.dataset.i18n || e.dataset.label));
        for (const k of Object.keys(STRINGS.en).concat(Object.keys(STRINGS.zh))) keys.add(k);
        return [...keys].filter((k) => !(k in STRINGS.en) || !(k in STRINGS.zh));)");
    EXPECT_EQ(missing, nlohmann::json::array());
}

}  // namespace
