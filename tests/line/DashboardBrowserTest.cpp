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

    // Through the login page, onto the dashboard.
    void SignIn(WebDriver& browser, const std::string& user, const std::string& password) {
        // Not signed in: the dashboard is the login page.
        browser.Navigate(line_->Url("/"));
        browser.Type("#login-user", user);
        browser.Type("#login-password", password);
        browser.Click("#login-submit");
        EXPECT_TRUE(browser.WaitForText("#me-user", user));
    }

    WebDriver& SignedIn(const std::string& language = "en-US") {
        WebDriver& browser = Browser(language);
        SignIn(browser, kAdmin, kPassword);
        return browser;
    }

    // What a caller with that token is answered.
    int StationsStatusWith(const std::string& token) {
        return line_->Http().Get("/api/v1/stations", {{"Authorization", "Bearer " + token}}).status;
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

    // Guessing is held up: a name tried too often is paused, and told so.
    browser.Clear(browser.Get("#login-user"));
    browser.Type("#login-user", "mallory");
    for (int guess = 0; guess < 6; ++guess) {
        browser.Clear(browser.Get("#login-password"));
        browser.Type("#login-password", "guess-" + std::to_string(guess));
        browser.Click("#login-submit");
        ASSERT_TRUE(browser.WaitUntil(
            [&] { return browser.Find("#login-submit:disabled") == std::nullopt; },
            "the answer to a guess"));
    }
    ASSERT_TRUE(browser.WaitForText("#login-error", "Too many wrong passwords"));

    browser.Clear(browser.Get("#login-user"));
    browser.Type("#login-user", kAdmin);
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

// The sessions live in the server's memory: one restarted has none, and the
// dashboard, its event stream refused, goes back to the login page.
TEST_F(DashboardTest, AfterTheServerRestartsTheDashboardAsksForTheLoginAgain) {
    WebDriver& browser = SignedIn();
    ASSERT_TRUE(browser.WaitForText("#live", "live"));
    line_->Restart();
    ASSERT_TRUE(
        browser.WaitUntil([&] { return browser.Url() == line_->Url("/login"); }, "the login page"));
    SignIn(browser, kAdmin, kPassword);
    EXPECT_TRUE(browser.WaitForText("#live", "● live"));
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

// A token is shown once when made, works as shown, and stops working once
// revoked; a viewer has no say over tokens.
TEST_F(DashboardTest, AnAdministratorMakesAndRevokesTokensAViewerSeesNone) {
    WebDriver& browser = SignedIn();
    ASSERT_TRUE(browser.WaitForText("#tokens", "No tokens yet."));
    browser.Type("#token-name", "mes-gateway");
    browser.Click("#token-create");
    ASSERT_TRUE(browser.WaitForText("#token-new-text", "mes-gateway"));
    const std::string token = *browser.TextOf("#token-new-value");
    ASSERT_FALSE(token.empty());
    EXPECT_EQ(StationsStatusWith(token), 200);
    ASSERT_TRUE(browser.WaitForText("#tokens [data-token-id] .name", "mes-gateway"));
    EXPECT_TRUE(browser.WaitForText("#tokens [data-token-id] .state", "✓ active"));
    // Not in the list: the secret is only ever in the answer that made it.
    EXPECT_EQ(browser.TextOf("#tokens")->find(token), std::string::npos);

    browser.Click("#tokens [data-token-id] button.revoke");
    browser.AcceptAlert();
    ASSERT_TRUE(browser.WaitUntil(
        [&] { return browser.Find("#tokens [data-revoked=\"true\"]").has_value(); },
        "the token revoked"));
    EXPECT_TRUE(browser.WaitForText("#tokens [data-token-id] .state", "✗ revoked"));
    EXPECT_EQ(StationsStatusWith(token), 401);

    line_->AddUser("wei", "viewer", "viewer-pass-9");
    browser.Click("#logout");
    ASSERT_TRUE(
        browser.WaitUntil([&] { return browser.Url() == line_->Url("/login"); }, "the login page"));
    SignIn(browser, "wei", "viewer-pass-9");
    EXPECT_TRUE(browser.WaitForText("#me-role", "viewer"));
    EXPECT_TRUE(browser.Find("#tokens-section[hidden]").has_value());
}

TEST_F(DashboardTest, TheTotalsAndFailuresFollowTheChosenSpan) {
    // One device failed first and then passed, one passed at once: half
    // passed at the first try. A third one worked the day before.
    Record("860000000000021", 2 * 3600, records::Result::Failed, "IDS_CLI_NO_ANSWER", "No answer");
    Record("860000000000021", 3600, records::Result::Ok, "IDS_CLI_READ_BACK_HOLDS", "OK");
    Record("860000000000022", 1800, records::Result::Ok, "IDS_CLI_READ_BACK_HOLDS", "OK");
    Record("860000000000023", 27 * 3600, records::Result::Ok, "IDS_CLI_READ_BACK_HOLDS", "OK");

    WebDriver& browser = SignedIn();
    const std::string span = "#totals-span [data-total=\"";
    browser.Execute(R"(const kind = document.getElementById('span-kind');
        kind.value = 'day';
        kind.dispatchEvent(new Event('change'));)");
    ASSERT_TRUE(browser.WaitForText(span + "ok\"] .value", "✓ 2"));
    EXPECT_TRUE(browser.WaitForText(span + "failed\"] .value", "✗ 1"));
    EXPECT_TRUE(browser.WaitForText(span + "yield\"] .value", "50.0 %"));
    EXPECT_TRUE(browser.WaitForText("#failures [data-message-id] .message", "No answer"));

    // From 30 to 25 hours ago, in the browser's time as its inputs take it.
    browser.Execute(R"(const local = (hoursAgo) => {
            const d = new Date(Date.now() - hoursAgo * 3600e3);
            const pad = (n) => String(n).padStart(2, '0');
            return `${d.getFullYear()}-${pad(d.getMonth() + 1)}-${pad(d.getDate())}T` +
                `${pad(d.getHours())}:${pad(d.getMinutes())}`;
        };
        document.getElementById('span-from').value = local(30);
        document.getElementById('span-to').value = local(25);
        const kind = document.getElementById('span-kind');
        kind.value = 'range';
        kind.dispatchEvent(new Event('change'));)");
    ASSERT_TRUE(browser.WaitForText(span + "ok\"] .value", "✓ 1"));
    EXPECT_TRUE(browser.WaitForText(span + "failed\"] .value", "✗ 0"));
    EXPECT_TRUE(browser.WaitForText(span + "yield\"] .value", "100.0 %"));
    EXPECT_TRUE(browser.WaitForText("#failures", "No failures in the span."));
    EXPECT_TRUE(browser.Find("#span-range:not([hidden])").has_value());
}

// A station that appears takes its place among the others by name; one
// unheard for 30 s turns offline, both as the server tells them.
TEST_F(DashboardTest, ANewStationAndOneGoneQuietShowLive) {
    WebDriver& browser = SignedIn();
    ASSERT_TRUE(browser.WaitForText("[data-station=\"" + kStation + "\"] .online", "● online"));

    auto link = records::OpenLineStateLink(Uri(), 10s, 10s, {}, nullptr);
    link->Write(linetest::WorkingStation("L0-Z", 1), true);
    link->Write(linetest::WorkingStation("L9-A", 3), true);
    ASSERT_TRUE(browser.WaitUntil([&] { return browser.FindAll("[data-station]").size() == 3; },
                                  "three tiles"));
    EXPECT_EQ(browser.Execute("return [...document.querySelectorAll('[data-station]')]"
                              ".map((e) => e.dataset.station)"),
              nlohmann::json({"L0-Z", kStation, "L9-A"}));
    EXPECT_EQ(browser.FindAll("[data-station=\"L9-A\"] [data-port]").size(), 3u);

    Scalar(
        "UPDATE line_stations SET heartbeat_at = now() - interval '31 seconds' "
        "WHERE station = '" +
        kStation + "'");
    Scalar("SELECT pg_notify('tirvel_line', '" + kStation + "')");
    ASSERT_TRUE(browser.WaitForText("[data-station=\"" + kStation + "\"] .online", "○ offline"));
    EXPECT_EQ(browser.Attribute(browser.Get("[data-station=\"" + kStation + "\"]"), "data-online"),
              "false");
}

// A list longer than a page comes in pages, none twice, none left out.
TEST_F(DashboardTest, ALongHistoryComesPageByPage) {
    const std::string imei = "860123456789099";
    for (int i = 0; i < 103; ++i) {
        Record(imei, 3600 - i * 10, records::Result::Ok, "IDS_CLI_READ_BACK_HOLDS", "OK");
    }
    WebDriver& browser = SignedIn();
    browser.Type("#imei-input", imei);
    browser.Click("#imei-submit");
    ASSERT_TRUE(browser.WaitUntil(
        [&] { return browser.FindAll("#records [data-record-id]").size() == 100; },
        "the first page"));
    browser.Click("#records-more:not([hidden])");
    ASSERT_TRUE(browser.WaitUntil(
        [&] { return browser.FindAll("#records [data-record-id]").size() == 103; },
        "the second page"));
    EXPECT_EQ(
        browser.Execute("return new Set([...document.querySelectorAll('#records [data-record-id]')]"
                        ".map((e) => e.dataset.recordId)).size"),
        103);
    EXPECT_TRUE(browser.Find("#records-more[hidden]").has_value());
}

// Every list's CSV link is a call the server answers with CSV, the
// session's cookie being all it takes.
TEST_F(DashboardTest, EveryCsvLinkGivesTheListAsCsv) {
    Record("860000000000031", 600, records::Result::Failed, "IDS_CLI_NO_ANSWER", "No answer");
    WebDriver& browser = SignedIn();
    ASSERT_TRUE(browser.WaitForText("#failures [data-message-id] .message", "No answer"));
    browser.Click("#failures [data-message-id] button");
    ASSERT_TRUE(
        browser.WaitUntil([&] { return browser.FindAll("#records [data-record-id]").size() == 1; },
                          "the failure's record"));
    const auto cookie = browser.Cookie("tirvel_session");
    ASSERT_TRUE(cookie) << "the session's cookie";
    for (const char* link : {"#chart-csv", "#failures-csv", "#records-csv"}) {
        const auto href = browser.Attribute(browser.Get(link), "href");
        ASSERT_TRUE(href) << link;
        const auto answer =
            line_->Http().Get(*href, {{"Cookie", std::string("tirvel_session=") + *cookie}});
        EXPECT_EQ(answer.status, 200) << link << " " << *href << ": " << answer.body;
        EXPECT_EQ(answer.Header("Content-Type").value_or(""), "text/csv; charset=utf-8") << link;
        EXPECT_NE(answer.Header("Content-Disposition").value_or("").find("attachment"),
                  std::string::npos)
            << link;
        EXPECT_NE(answer.body.find('\n'), std::string::npos) << link << ": " << answer.body;
    }
}

}  // namespace
