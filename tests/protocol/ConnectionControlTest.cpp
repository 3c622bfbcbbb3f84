// Start, the probe's result, login, the identity and configuration reads, and
// Stop, through the scripted window against the simulated device.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "PseudoTerminal.h"
#include "TextSearch.h"
#include "Workbench.h"
#include "cfgfile/Preset.h"
#include "form/ControlIds.h"
#include "protocol/AtExchange.h"
#include "protocol/Probe.h"
#include "res/ResourceIds.h"

using namespace std::chrono_literals;
using testsupport::DialogAnswer;
using testsupport::Occurrences;
using testsupport::PasswordAnswer;
using testsupport::Workbench;

namespace {

TEST(Connection, ReadsIdentityAndConfigurationAndEnablesTheFileButtons) {
    Workbench bench({"--imei", "860000000000077"});
    EXPECT_FALSE(bench.window.Enabled(res::IDC_EXPORT_CONFIG));
    ASSERT_TRUE(bench.Connect());
    EXPECT_EQ(bench.frame.ConnectionState(), kStateConnected);
    EXPECT_EQ(bench.window.Text(res::IDC_IMEI), "860000000000077");
    EXPECT_FALSE(bench.window.Text(res::IDC_VERSION).empty());
    EXPECT_EQ(g_nItemCount, 40);
    EXPECT_EQ(bench.window.Text(ItemLabelId(2)), "2. APN");
    EXPECT_EQ(bench.window.Text(ItemCurrentId(2)), "CMNET");
    for (int id : {res::IDC_EXPORT_CONFIG, res::IDC_IMPORT_CONFIG, res::IDC_TEMPLATE_CONFIG,
                   res::IDC_CLEAR_CONFIG}) {
        EXPECT_TRUE(bench.window.Enabled(id));
    }
    EXPECT_TRUE(bench.window.MessageBoxes().empty());

    bench.Command(res::ID_STOP_CONFIG);
    EXPECT_EQ(bench.frame.ConnectionState(), kStateIdle);
    EXPECT_EQ(bench.view.m_hComPort, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(bench.window.Enabled(res::IDC_EXPORT_CONFIG));
    EXPECT_EQ(bench.Events("quit").size(), 1u);
}

TEST(Connection, StartKeepsNewValuesAndTicksButResetsTheRest) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    bench.view.SetItemNewValue(3, "keep me");
    bench.view.SetItemModify(3, 1);
    bench.view.SetItemNewValue(55, "beyond");
    bench.Command(res::ID_STOP_CONFIG);

    bench.Command(res::ID_START_CONFIG);  // a new device, not powered yet
    EXPECT_EQ(g_nItemCount, 0);
    EXPECT_EQ(bench.window.Text(res::IDC_IMEI), "");
    EXPECT_EQ(bench.window.Text(ItemLabelId(2)), "2. Item2");
    EXPECT_EQ(bench.window.Text(ItemCurrentId(2)), "");
    EXPECT_EQ(bench.window.Text(ItemNewId(3)), "keep me");
    EXPECT_EQ(bench.window.Check(ItemModifyId(3)), 1);
    EXPECT_TRUE(bench.window.Visible(ItemLabelId(60)));
    EXPECT_EQ(bench.window.Focus(), ItemNewId(1));
    EXPECT_EQ(bench.frame.ConnectionState(), kStateConnecting);
    bench.Command(res::ID_STOP_CONFIG);
}

TEST(Connection, PortThatCannotBeOpenedStaysIdle) {
    Workbench bench;
    bench.view.m_strDevicePath = (bench.dir.Path() / "no-such-port").string();
    bench.Command(res::ID_START_CONFIG);
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_OPEN_PORT_FAILED});
    EXPECT_EQ(bench.frame.ConnectionState(), kStateIdle);
    EXPECT_FALSE(bench.view.m_probeThread.joinable());
}

TEST(Connection, RightPasswordLogsIn) {
    Workbench bench({"--password", "s3cret"});
    bench.dialogs.Expect(PasswordAnswer("s3cret"));
    ASSERT_TRUE(bench.Connect());
    EXPECT_EQ(Occurrences(bench.Received(), "AT+TESTPWD=s3cret\r"), 1);
}

TEST(Connection, WrongPasswordIsTriedThreeTimesThenAskedAgain) {
    Workbench bench({"--password", "s3cret"});
    bench.dialogs.Expect(PasswordAnswer("wrong"));
    bench.dialogs.Expect(PasswordAnswer("s3cret"));
    ASSERT_TRUE(bench.Connect());
    EXPECT_EQ(bench.dialogs.Shown().size(), 2u);
    EXPECT_EQ(Occurrences(bench.Received(), "AT+TESTPWD=wrong\r"), 3);
    EXPECT_TRUE(bench.window.MessageBoxes().empty());
}

TEST(Connection, CancelledPasswordClosesThePortSilently) {
    Workbench bench({"--password", "s3cret"});
    bench.dialogs.Expect({res::IDD_PASSWORD, {}, fw::IDCANCEL});
    EXPECT_FALSE(bench.Connect());
    EXPECT_EQ(bench.view.m_nConnectState, kStateConnecting);
    EXPECT_EQ(bench.view.m_hComPort, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(bench.window.MessageBoxes().empty());
    EXPECT_FALSE(bench.frame.IsCommandEnabled(res::ID_START_CONFIG));
    bench.Command(res::ID_STOP_CONFIG);
    EXPECT_EQ(bench.frame.ConnectionState(), kStateIdle);
}

TEST(Connection, OverlongPasswordIsRefusedAndAskedAgain) {
    Workbench bench({"--password", "s3cret"});
    bench.dialogs.Expect(PasswordAnswer(std::string(38, 'x')));
    bench.dialogs.Expect(PasswordAnswer("s3cret"));
    ASSERT_TRUE(bench.Connect());
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_PASSWORD_TOO_LONG});
    EXPECT_EQ(bench.Received().find("xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"), std::string::npos);
}

TEST(Connection, StopDuringTheProbeEndsIdleWithoutAMessage) {
    Workbench bench({"--boot-ms", "60000"});
    bench.Command(res::ID_START_CONFIG);
    bench.loop.RunFor(300ms);
    const auto stopped = std::chrono::steady_clock::now();
    bench.Command(res::ID_STOP_CONFIG);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 3s);  // within one attempt
    EXPECT_FALSE(bench.view.m_probeThread.joinable());
    EXPECT_EQ(bench.frame.ConnectionState(), kStateIdle);

    // The stopped probe's result still arrives; a new Start must survive it.
    bench.Command(res::ID_START_CONFIG);
    const PortHandle current = bench.view.m_hComPort;
    bench.loop.RunFor(300ms);
    EXPECT_EQ(bench.view.m_hComPort, current);
    EXPECT_NE(current, INVALID_HANDLE_VALUE);
    EXPECT_EQ(bench.view.m_nConnectState, kStateConnecting);
    EXPECT_TRUE(bench.window.MessageBoxes().empty());
    bench.Command(res::ID_STOP_CONFIG);
}

TEST(Connection, PresetFlagTicksTheRowsThatDiffer) {
    Workbench bench({"--devices", "3"});
    g_bPreset = true;
    bench.view.SetItemNewValue(2, "CMNET");  // equal: untick
    bench.view.SetItemModify(2, 1);
    bench.view.SetItemNewValue(6, "8080");  // differs: tick
    bench.view.SetItemModify(6, 0);
    bench.view.SetItemModify(3, 0);     // empty new value, empty current: equal
    bench.view.SetItemNewValue(5, "");  // empty new value, non-empty current: tick
    ASSERT_TRUE(bench.Connect());
    EXPECT_EQ(bench.window.Check(ItemModifyId(2)), 0);
    EXPECT_EQ(bench.window.Check(ItemModifyId(6)), 1);
    EXPECT_EQ(bench.window.Check(ItemModifyId(3)), 0);
    EXPECT_EQ(bench.window.Check(ItemModifyId(5)), 1);
    bench.Command(res::ID_STOP_CONFIG);

    // With every new value empty, no tick changes.
    for (int n = 1; n <= 60; ++n) {
        bench.view.SetItemNewValue(n, "");
    }
    bench.view.SetItemModify(7, 1);
    ASSERT_TRUE(bench.Connect()) << testing::PrintToString(bench.window.MessageBoxTexts());
    EXPECT_EQ(bench.window.Check(ItemModifyId(7)), 1);
    EXPECT_EQ(bench.window.Check(ItemModifyId(5)), 1);
    bench.Command(res::ID_STOP_CONFIG);
}

TEST(Connection, ClosingTheWindowWhileConnectedSendsQuit) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    bench.frame.OnClose();
    EXPECT_EQ(bench.Events("quit").size(), 1u);
    EXPECT_EQ(bench.view.m_hComPort, INVALID_HANDLE_VALUE);
}

// A device played by the test, for the failures the simulator does not make:
// it answers each command it knows with the reply given for it.
class FakeDevice {
public:
    explicit FakeDevice(std::map<std::string, std::string> replies)
        : replies_(std::move(replies)), thread_([this] { Serve(); }) {}
    ~FakeDevice() {
        done_ = true;
        thread_.join();
    }
    const std::string& Path() const { return pty_.SlavePath(); }

private:
    void Serve() {
        std::string pending;
        while (!done_) {
            pending += pty_.ReadFor(20ms);
            for (std::size_t end; (end = pending.find('\r')) != std::string::npos;) {
                auto it = replies_.find(pending.substr(0, end + 1));
                pending.erase(0, end + 1);
                if (it != replies_.end()) {
                    pty_.Write(it->second);
                }
            }
        }
    }

    testsupport::PseudoTerminal pty_;
    std::map<std::string, std::string> replies_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

struct ConnectFailure {
    const char* name;
    std::map<std::string, std::string> replies;
    std::vector<fw::UINT> messages;
    bool portStaysOpen;
    const char* imei;
};

class ConnectFailures : public ::testing::TestWithParam<ConnectFailure> {};

TEST_P(ConnectFailures, EndConnectingWithTheirMessage) {
    const auto& c = GetParam();
    FakeDevice device(c.replies);
    Workbench bench;
    bench.view.m_strDevicePath = device.Path();
    EXPECT_FALSE(bench.Connect(5s));
    bench.loop.RunFor(200ms);
    EXPECT_EQ(bench.view.m_nConnectState, kStateConnecting);
    EXPECT_EQ(bench.window.MessageBoxTexts(), c.messages);
    EXPECT_EQ(bench.view.m_hComPort != INVALID_HANDLE_VALUE, c.portStaysOpen);
    EXPECT_EQ(bench.window.Text(res::IDC_IMEI), c.imei);
    bench.Command(res::ID_STOP_CONFIG);
    EXPECT_EQ(bench.frame.ConnectionState(), kStateIdle);
}

const std::string kImeiReply = "\r\n860000000000001\r\nOK\r\n";

INSTANTIATE_TEST_SUITE_P(
    Device, ConnectFailures,
    ::testing::Values(ConnectFailure{"Imei",
                                     {{"AT+TEST\r", "OK\r\n"}, {"AT+DTU&IMEI?\r", "ERROR\r\n"}},
                                     {res::IDS_READ_IMEI_FAILED},
                                     false,
                                     ""},
                      ConnectFailure{"Version",
                                     {{"AT+TEST\r", "OK\r\n"},
                                      {"AT+DTU&IMEI?\r", kImeiReply},
                                      {"AT+DTU&VER?\r", "ERROR\r\n"}},
                                     {res::IDS_READ_VERSION_FAILED},
                                     false,
                                     "860000000000001"},
                      ConnectFailure{"Configuration",
                                     {{"AT+TEST\r", "OK\r\n"},
                                      {"AT+DTU&IMEI?\r", kImeiReply},
                                      {"AT+DTU&VER?\r", "\r\nV1\r\nOK\r\n"},
                                      {"AT+GETDV=0\r", "1,a,b\r\nERROR\r\n"}},
                                     {res::IDS_READ_CONFIG_FAILED},
                                     false,
                                     "860000000000001"},
                      // A value reply without its two line ends: nothing said, port left open.
                      ConnectFailure{"ImeiWithoutLineEnds",
                                     {{"AT+TEST\r", "OK\r\n"}, {"AT+DTU&IMEI?\r", "OK\r\n"}},
                                     {},
                                     true,
                                     ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Connection, StartupTimeoutNeedsStopBeforeTheNextStart) {
    // A device that refuses every probe still has the whole window to come
    // round: the probe keeps it by the clock.
    FakeDevice device(std::map<std::string, std::string>{{"AT+TEST\r", "ERROR\r\n"}});
    Workbench bench;
    bench.view.m_strDevicePath = device.Path();
    EXPECT_FALSE(bench.Connect(45s));
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_STARTUP_TIMEOUT});
    EXPECT_EQ(bench.view.m_hComPort, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(bench.frame.IsCommandEnabled(res::ID_START_CONFIG));
    EXPECT_TRUE(bench.frame.IsCommandEnabled(res::ID_STOP_CONFIG));
    bench.Command(res::ID_STOP_CONFIG);
    EXPECT_TRUE(bench.frame.IsCommandEnabled(res::ID_START_CONFIG));
}

}  // namespace
