// The main window against the simulated device: connecting through the
// toolbar, the file buttons of a connected form, and the goodbye the device
// hears when the window closes while connected.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "AppTestSupport.h"
#include "SimRecords.h"
#include "form/Tirvel2View.h"
#include "framework/StringTable.h"
#include "framework/qt/QtFormView.h"
#include "res/ResourceIds.h"

namespace {

using apptest::WaitFor;

class AppDevice : public apptest::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        sim = std::make_unique<testsupport::SimProcess>(std::vector<std::string>{
            "--link", (dir.Path() / "dtu").string(), "--events", EventsPath(), "--boot-ms", "200"});
    }
    void TearDown() override {
        AppFixture::TearDown();
        sim.reset();
    }

    std::string EventsPath() const { return (dir.Path() / "events.jsonl").string(); }

    std::vector<nlohmann::json> Events(const std::string& kind) const {
        return testsupport::EventsSoFar(EventsPath(), kind);
    }

    // Start Config from the toolbar, then wait for the device's values.
    app::CMainFrameWindow& Connected(fw::Language language = fw::Language::English) {
        app::CMainFrameWindow& w = OpenFrame(language);
        w.View().m_strDevicePath = (dir.Path() / "dtu").string();
        w.ToolBar()->Action(res::ID_START_CONFIG)->trigger();
        EXPECT_EQ(w.ConnectionState(), kStateConnecting);
        EXPECT_TRUE(WaitFor([&] { return w.ConnectionState() == kStateConnected; }, 20000));
        return w;
    }

    bool Ticked(int n) const {
        return frame->FormView()->GetControlCheck(res::IDC_ITEM_MODIFY_BASE + n) != 0;
    }

    std::unique_ptr<testsupport::SimProcess> sim;
};

TEST_F(AppDevice, ClosingTheWindowWhileConnectedSaysGoodbyeToTheDevice) {
    app::CMainFrameWindow& w = Connected();
    ASSERT_EQ(w.ConnectionState(), kStateConnected);
    for (fw::UINT command : w.ToolBar()->Commands()) {
        EXPECT_EQ(w.ToolBar()->Action(command)->isEnabled(),
                  CMainFrame::IsCommandEnabledInState(command, kStateConnected))
            << command;
    }
    EXPECT_FALSE(ControlText(res::IDC_IMEI).empty());
    EXPECT_TRUE(Events("quit").empty());

    EXPECT_TRUE(w.close());
    EXPECT_EQ(w.ConnectionState(), kStateIdle);
    EXPECT_TRUE(WaitFor([&] { return Events("quit").size() == 1; }, 5000));
    // Everything the device received, in order, as hex ("AT+QUIT\r" may come in pieces).
    std::string received;
    for (const auto& e : Events("rx")) {
        received += e.value("hex", "");
    }
    std::transform(received.begin(), received.end(), received.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_NE(received.find("41542b515549540d"), std::string::npos) << received;
}

TEST_F(AppDevice, ClosingWhileWaitingForTheDeviceStopsTheProbe) {
    app::CMainFrameWindow& w = OpenFrame();
    w.View().m_strDevicePath = (dir.Path() / "dtu").string();
    w.ToolBar()->Action(res::ID_START_CONFIG)->trigger();
    ASSERT_EQ(w.ConnectionState(), kStateConnecting);
    EXPECT_TRUE(w.View().m_probeThread.joinable());
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.View().m_probeThread.joinable());
    EXPECT_EQ(w.View().m_hComPort, INVALID_HANDLE_VALUE);
}

TEST_F(AppDevice, ImportTemplateAndClearThroughTheFormsButtons) {
    app::CMainFrameWindow& w = Connected();
    ASSERT_EQ(w.ConnectionState(), kStateConnected);
    const std::string apnLabel = ControlText(res::IDC_ITEM_LABEL_BASE + 2);
    const std::string portCurrent = ControlText(res::IDC_ITEM_CURRENT_BASE + 6);
    ASSERT_FALSE(portCurrent.empty());

    const std::string profile = (dir.Path() / "profile.txt").string();
    { std::ofstream(profile) << "[CFG]\r\n" << apnLabel << "=internet.m2m\r\n"; }
    desktoptest::MessageBoxCloser closer;
    dialogs.answers.push_back(profile);
    Click(res::IDC_IMPORT_CONFIG);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_FALSE(dialogs.requests[0].save);
    EXPECT_EQ(closer.texts, std::vector<std::string>{"Import Success"});
    EXPECT_EQ(ControlText(res::IDC_ITEM_NEW_BASE + 2), "internet.m2m");
    EXPECT_TRUE(Ticked(2));
    EXPECT_FALSE(Ticked(6));

    Click(res::IDC_TEMPLATE_CONFIG);
    EXPECT_EQ(ControlText(res::IDC_ITEM_NEW_BASE + 6), portCurrent);
    EXPECT_EQ(ControlText(res::IDC_ITEM_NEW_BASE + 2), ControlText(res::IDC_ITEM_CURRENT_BASE + 2));
    EXPECT_FALSE(Ticked(2));

    Click(res::IDC_CLEAR_CONFIG);
    for (int n : {2, 6}) {
        EXPECT_EQ(ControlText(res::IDC_ITEM_NEW_BASE + n), "") << n;
        EXPECT_FALSE(Ticked(n)) << n;
    }
}

// The batch job through the real widgets: a value typed on the first device is
// written, offered to the next device with its row ticked, written there too;
// the form then exports what the device holds and Restore takes it back.
TEST_F(AppDevice, BatchCarriesOneSetOfValuesFromDeviceToDeviceThenExportAndRestore) {
    sim.reset();
    sim = std::make_unique<testsupport::SimProcess>(
        std::vector<std::string>{"--link", (dir.Path() / "dtu").string(), "--events", EventsPath(),
                                 "--boot-ms", "200", "--devices", "2"});
    app::CMainFrameWindow& w = Connected();
    ASSERT_EQ(w.ConnectionState(), kStateConnected);
    const std::string firstImei = ControlText(res::IDC_IMEI);
    const std::string factoryApn = ControlText(res::IDC_ITEM_CURRENT_BASE + 2);
    ASSERT_NE(factoryApn, "batch.apn");

    Click(res::IDC_TEMPLATE_CONFIG);
    auto* edit = qobject_cast<QLineEdit*>(frame->FormView()->Control(res::IDC_ITEM_NEW_BASE + 2));
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    desktoptest::TypeText(edit, QStringLiteral("batch.apn"));
    auto* tick =
        qobject_cast<QCheckBox*>(frame->FormView()->Control(res::IDC_ITEM_MODIFY_BASE + 2));
    ASSERT_NE(tick, nullptr);
    QTest::mouseClick(tick, Qt::LeftButton, {}, QPoint(4, tick->height() / 2));
    ASSERT_TRUE(tick->isChecked());

    desktoptest::MessageBoxCloser closer;
    w.ToolBar()->Action(res::ID_MODIFY)->trigger();
    EXPECT_EQ(ControlText(res::IDC_ITEM_CURRENT_BASE + 2), "batch.apn");
    w.ToolBar()->Action(res::ID_STOP_CONFIG)->trigger();
    ASSERT_EQ(w.ConnectionState(), kStateIdle);

    w.ToolBar()->Action(res::ID_START_CONFIG)->trigger();
    ASSERT_TRUE(WaitFor([&] { return w.ConnectionState() == kStateConnected; }, 20000));
    EXPECT_NE(ControlText(res::IDC_IMEI), firstImei);
    EXPECT_EQ(ControlText(res::IDC_ITEM_CURRENT_BASE + 2), factoryApn);
    EXPECT_EQ(ControlText(res::IDC_ITEM_NEW_BASE + 2), "batch.apn");
    EXPECT_TRUE(Ticked(2));
    EXPECT_FALSE(Ticked(1));
    EXPECT_FALSE(Ticked(6));
    w.ToolBar()->Action(res::ID_MODIFY)->trigger();
    EXPECT_EQ(ControlText(res::IDC_ITEM_CURRENT_BASE + 2), "batch.apn");

    const std::string exported = (dir.Path() / "second.txt").string();
    dialogs.answers.push_back(exported);
    Click(res::IDC_EXPORT_CONFIG);
    std::ifstream in(exported, std::ios::binary);
    const std::string contents((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(contents.find(ControlText(res::IDC_ITEM_LABEL_BASE + 2) + "=batch.apn\r\n"),
              std::string::npos)
        << contents;

    w.ToolBar()->Action(res::ID_RESTORE)->trigger();
    EXPECT_EQ(ControlText(res::IDC_ITEM_CURRENT_BASE + 2), factoryApn);
    EXPECT_EQ(closer.texts, (std::vector<std::string>{
                                fw::LoadString(res::IDS_SET_SUCCEEDED),
                                fw::LoadString(res::IDS_SET_SUCCEEDED),
                                fw::LoadString(res::IDS_EXPORT_SUCCEEDED),
                                fw::LoadString(res::IDS_RESTORE_SUCCEEDED),
                            }));
    EXPECT_EQ(Events("restore").size(), 1u);
}

TEST_F(AppDevice, ChineseWindowShowsTheDevicesValuesUnderChineseCaptions) {
    app::CMainFrameWindow& w = Connected(fw::Language::Chinese);
    ASSERT_EQ(w.ConnectionState(), kStateConnected);
    EXPECT_EQ(ControlText(res::IDC_IMEI_CAPTION), "DTU IMEI号：");
    EXPECT_EQ(ControlText(res::IDC_EXPORT_CONFIG), "导出配置");
    EXPECT_FALSE(ControlText(res::IDC_VERSION).empty());
    EXPECT_NE(ControlText(res::IDC_ITEM_LABEL_BASE + 1), "1. 配置项1");
    EXPECT_EQ(w.ToolBar()->Button(res::ID_STOP_CONFIG)->text().toStdString(), "停止");
    EXPECT_TRUE(w.ToolBar()->Action(res::ID_STOP_CONFIG)->isEnabled());
    w.ToolBar()->Action(res::ID_STOP_CONFIG)->trigger();
    EXPECT_EQ(w.ConnectionState(), kStateIdle);
    EXPECT_TRUE(w.ToolBar()->Action(res::ID_START_CONFIG)->isEnabled());
}

}  // namespace
