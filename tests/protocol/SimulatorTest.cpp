// The foundation end to end: a COM number resolved to the simulator's pty, the
// probe catching the device at power-on, the identity queries and the
// configuration read into the form.
#include <gtest/gtest.h>

#include "LanguageForTheTest.h"
#include "ScriptedWindow.h"
#include "SimProcess.h"
#include "TempConfigHome.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "protocol/AtExchange.h"
#include "protocol/Probe.h"
#include "serial/PortPath.h"

namespace {

class WithSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        g_nProbeStopFlag = 0;
        g_nItemCount = 0;
    }

    testsupport::TempConfigHome configHome_;
};

TEST_F(WithSimulator, ProbeIdentityAndConfigurationThroughAComNumber) {
    testsupport::SimProcess sim({"--com", "17", "--boot-ms", "300", "--imei", "860000000000042"});
    fw::CMessageLoop loop;
    CTirvel2View view;
    testsupport::ScriptedWindow window(loop, view, res::IDD_TIRVEL2_FORM, fw::Language::English);

    view.m_hComPort = OpenComPort(serial::FormatComPath(17).c_str());
    ASSERT_NE(view.m_hComPort, INVALID_HANDLE_VALUE);
    ComPortSettings settings{28800, 8, 0, 0, 0};
    SetupComPortTimed(view.m_hComPort, &settings);

    // The device powers on 300 ms after the open; the probe keeps asking.
    ASSERT_EQ(ProbeDevice(view.m_hComPort), kProbeAnswered);

    char reply[1024];
    ASSERT_EQ(QueryAtCommand(view.m_hComPort, "AT+DTU&IMEI?\r", reply, sizeof reply, 5),
              kAtSuccess);
    EXPECT_NE(std::string(reply).find("\r\n860000000000042\r\n"), std::string::npos);

    ASSERT_TRUE(view.ReadDeviceConfiguration());
    EXPECT_GE(g_nItemCount, 30);
    EXPECT_LE(g_nItemCount, 60);
    for (int n = 1; n <= g_nItemCount; ++n) {
        EXPECT_NE(view.GetItemLabel(n).find(std::to_string(n) + ". "), std::string::npos);
        EXPECT_NE(window.Text(ItemLabelId(n)), std::to_string(n) + ". Item" + std::to_string(n));
    }
    EXPECT_EQ(SendAtCommand(view.m_hComPort, "AT+QUIT\r", 5), kAtSuccess);
    CloseComPort(view.m_hComPort);
    view.m_hComPort = INVALID_HANDLE_VALUE;
    EXPECT_EQ(sim.Stop(), 0);
}

TEST_F(WithSimulator, ChineseNamesArriveAsGb18030Bytes) {
    testsupport::SimProcess sim(
        {"--link", (configHome_.Path() / "dtu").string(), "--boot-ms", "100", "--lang", "zh"});
    fw::CMessageLoop loop;
    CTirvel2View view;
    testsupport::ScriptedWindow window(loop, view, res::IDD_TIRVEL2_FORM, fw::Language::Chinese);
    const testsupport::LanguageForTheTest chinese(fw::Language::Chinese);

    view.m_hComPort = OpenComPort((configHome_.Path() / "dtu").c_str());
    ASSERT_NE(view.m_hComPort, INVALID_HANDLE_VALUE);
    ComPortSettings settings{28800, 8, 0, 0, 0};
    SetupComPortTimed(view.m_hComPort, &settings);
    ASSERT_EQ(ProbeDevice(view.m_hComPort), kProbeAnswered);
    ASSERT_TRUE(view.ReadDeviceConfiguration());

    // The member keeps the device's bytes; the control shows them decoded.
    const std::string label = view.GetItemLabel(1);
    bool nonAscii = false;
    for (char c : label) {
        nonAscii |= static_cast<unsigned char>(c) >= 0x80;
    }
    EXPECT_TRUE(nonAscii) << label;
    EXPECT_EQ(window.Text(ItemLabelId(1)).find("\xEF\xBF\xBD"), std::string::npos);
    view.UpdateData(true);
    EXPECT_EQ(view.GetItemLabel(1), label);

    CloseComPort(view.m_hComPort);
    view.m_hComPort = INVALID_HANDLE_VALUE;
}

}  // namespace
