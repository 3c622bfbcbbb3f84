// One whole round through the real widgets against the simulated device:
// Start, tick a row and type its value, Modify, Stop.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <fstream>
#include <sstream>

#include "DesktopSupport.h"
#include "SimProcess.h"
#include "cfgfile/Preset.h"
#include "form/ControlIds.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "framework/StringTable.h"
#include "framework/qt/QtDialogHost.h"
#include "framework/qt/QtFormView.h"
#include "protocol/AtExchange.h"
#include "protocol/Probe.h"
#include "res/ResourceIds.h"

namespace {

class FrameAndHost {
public:
    FrameAndHost() {
        AfxSetMainFrame(&frame);
        fw::SetDialogHost(&host);
    }
    ~FrameAndHost() {
        fw::SetDialogHost(nullptr);
        AfxSetMainFrame(nullptr);
    }
    FrameAndHost(const FrameAndHost&) = delete;
    FrameAndHost& operator=(const FrameAndHost&) = delete;

    CMainFrame frame;
    fw::qt::CQtDialogHost host;
};

TEST(EndToEnd, ConnectTickTypeModifyAndStopThroughTheWidgets) {
    desktoptest::LanguageScope language(fw::Language::English);
    testsupport::TempDir dir;
    const std::string link = (dir.Path() / "dtu").string();
    const std::string events = (dir.Path() / "events.jsonl").string();
    testsupport::SimProcess sim({"--link", link, "--boot-ms", "200", "--events", events});
    g_nItemCount = 0;
    g_nProbeStopFlag = 0;
    g_bPreset = false;

    FrameAndHost shell;
    CTirvel2View view;
    view.m_strDevicePath = link;
    fw::qt::CQtFormView form(view, fw::Language::English);
    shell.host.SetMainWindow(&form);
    form.resize(900, 700);
    form.show();
    view.OnInitialUpdate();
    desktoptest::MessageBoxCloser boxes;

    view.PostMessage(fw::WM_COMMAND, res::ID_START_CONFIG, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.m_nConnectState == kStateConnected; }, 20000))
        << "boxes: " << boxes.texts.size();
    EXPECT_EQ(shell.frame.ConnectionState(), kStateConnected);
    EXPECT_FALSE(qobject_cast<QLineEdit*>(form.Control(res::IDC_IMEI))->text().isEmpty());
    EXPECT_TRUE(form.IsControlEnabled(res::IDC_EXPORT_CONFIG));
    auto* current = qobject_cast<QLineEdit*>(form.Control(ItemCurrentId(2)));
    EXPECT_EQ(current->text(), QStringLiteral("CMNET"));

    auto* check = qobject_cast<QCheckBox*>(form.Control(ItemModifyId(2)));
    QTest::mouseClick(check, Qt::LeftButton);
    ASSERT_TRUE(check->isChecked());
    auto* edit = qobject_cast<QLineEdit*>(form.Control(ItemNewId(2)));
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("internet.m2m"));

    view.PostMessage(fw::WM_COMMAND, res::ID_MODIFY, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.texts.empty(); }, 20000));
    EXPECT_EQ(boxes.texts, std::vector<std::string>{fw::LoadString(res::IDS_SET_SUCCEEDED)});
    EXPECT_EQ(current->text(), QStringLiteral("internet.m2m"));
    std::ostringstream log;
    log << std::ifstream(events).rdbuf();
    EXPECT_NE(log.str().find("internet.m2m"), std::string::npos);

    view.PostMessage(fw::WM_COMMAND, res::ID_STOP_CONFIG, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.m_nConnectState == kStateIdle; }, 10000));
    EXPECT_EQ(view.m_hComPort, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(form.IsControlEnabled(res::IDC_EXPORT_CONFIG));
    shell.frame.OnClose();
}

}  // namespace
