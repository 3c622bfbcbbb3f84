// The main window as the operator meets it: the start-up state of the form,
// caption and size, command enabling in every state, the toolbar's words and
// the status bar in both languages, the About box, choosing the firmware,
// accelerators and the document commands.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <span>

#include "AppTestSupport.h"
#include "TestFiles.h"
#include "form/Tirvel2View.h"
#include "framework/StringTable.h"
#include "framework/qt/QtFormView.h"
#include "res/ResourceIds.h"

namespace {

using apptest::WaitFor;
using fw::Language;

class AppWindow : public apptest::AppFixture {};

QString Str(fw::UINT id) {
    return QString::fromStdString(fw::LoadString(id));
}

TEST_F(AppWindow, StartsWithTheTitleTheEmptyFormAndTheHelp) {
    for (Language language : {Language::English, Language::Chinese}) {
        app::CMainFrameWindow& w = OpenFrame(language);
        const bool zh = language == Language::Chinese;
        EXPECT_EQ(w.windowTitle().toStdString(),
                  zh ? "DTU批量配置软件" : "Kavrel Batch Configuration Software");
        EXPECT_EQ(w.minimumSize(), QSize(820, 650));
        EXPECT_EQ(w.menuWidget(), nullptr);
        EXPECT_EQ(w.centralWidget(), w.FormView());
        for (int n = 1; n <= CTirvel2View::kItemRows; ++n) {
            const std::string number = std::to_string(n);
            EXPECT_EQ(ControlText(res::IDC_ITEM_LABEL_BASE + n),
                      number + (zh ? ". 配置项" : ". Item") + number);
        }
        for (int id : {res::IDC_EXPORT_CONFIG, res::IDC_IMPORT_CONFIG, res::IDC_TEMPLATE_CONFIG,
                       res::IDC_CLEAR_CONFIG}) {
            EXPECT_TRUE(w.FormView()->IsControlVisible(id)) << id;
            EXPECT_FALSE(w.FormView()->IsControlEnabled(id)) << id;
        }
        for (int id : {res::IDC_LOG_PANE, res::IDC_CLEAR_LOG, res::IDC_SAVE_LOG}) {
            EXPECT_FALSE(w.FormView()->IsControlVisible(id)) << id;
        }
        EXPECT_NE(ControlText(res::IDC_HELP_PANE).find(zh ? "开始配置" : "Start Config"),
                  std::string::npos);
        EXPECT_EQ(w.IdleMessage()->text().toStdString(), zh ? "就绪" : "Ready");
        EXPECT_EQ(w.ConnectionState(), kStateIdle);
    }
}

TEST_F(AppWindow, SizedToTheFormWithinTheScreenAndCentred) {
    app::CMainFrameWindow& w = OpenFrame();
    const QRect screen = w.screen()->availableGeometry();
    EXPECT_LE(w.height(), std::max(screen.height(), 650));
    EXPECT_GE(w.width(), std::min(w.FormView()->FormSizePixels().width(), screen.width()));
    if (w.width() < screen.width() && w.height() < screen.height()) {
        EXPECT_LE(std::abs(w.geometry().center().x() - screen.center().x()), 1);
    }
}

TEST_F(AppWindow, ToolbarActionsFollowTheCommandTableInEveryState) {
    app::CMainFrameWindow& w = OpenFrame();
    const auto enabledSet = [&w] {
        std::vector<fw::UINT> enabled;
        for (fw::UINT command : w.ToolBar()->Commands()) {
            EXPECT_EQ(w.ToolBar()->Action(command)->isEnabled(),
                      w.ToolBar()->Button(command)->isEnabled());
            if (w.ToolBar()->Action(command)->isEnabled()) {
                enabled.push_back(command);
            }
        }
        return enabled;
    };
    const auto tableSet = [&w](int state) {
        std::vector<fw::UINT> enabled;
        for (fw::UINT command : w.ToolBar()->Commands()) {
            if (CMainFrame::IsCommandEnabledInState(command, state)) {
                enabled.push_back(command);
            }
        }
        return enabled;
    };
    for (int state = kStateIdle; state <= kStateDebugLog; ++state) {
        // As the view reports it.
        w.SetConnectionState(state);
        EXPECT_EQ(enabledSet(), tableSet(state)) << "state " << state;
    }
    EXPECT_NE(tableSet(kStateIdle), tableSet(kStateConnected));

    // A state that changed without a report is caught by the periodic refresh.
    w.CMainFrame::SetConnectionState(kStateConnected);
    EXPECT_NE(enabledSet(), tableSet(kStateConnected));
    EXPECT_TRUE(WaitFor([&] { return enabledSet() == tableSet(kStateConnected); }, 10000));
}

struct ToolbarWords {
    fw::UINT command;
    const char* text;
    const char* tooltip;
    const char* prompt;
};

TEST_F(AppWindow, ToolbarButtonsCarryTheirTextsTooltipsAndPrompts) {
    const ToolbarWords english[] = {
        {res::ID_START_CONFIG, "Start Config", "Start Configuration", "Start Configuration"},
        {res::ID_RESTORE, "Restore", "Restore", "Restore"},
        {res::ID_UPDATE_FIRMWARE, "Update File", "", ""},
        {res::ID_SELECT_FIRMWARE, "Selete File", "", ""},
        {res::ID_SHOW_DEBUG_INFO, "Show Log", "", "show dtu debug info"},
        {res::ID_SETTINGS, "Options", "Select COM Port", "Select COM Port"},
        {res::ID_APP_ABOUT, "About", "About",
         "Display program information, version number and copyright"},
        {res::ID_APP_EXIT, "Exit", "Exit", "Quit the application"}};
    const ToolbarWords chinese[] = {{res::ID_START_CONFIG, "开始配置", "开始配置", "开始配置"},
                                    {res::ID_RESTORE, "恢复出厂", "恢复出厂设置", "恢复出厂设置"},
                                    {res::ID_UPDATE_FIRMWARE, "开始更新", "", "更新固件"},
                                    {res::ID_SHOW_DEBUG_INFO, "显示日志", "", "显示DTU调试信息"},
                                    {res::ID_SETTINGS, "设置", "设置", "设置"},
                                    {res::ID_APP_EXIT, "退出", "退出", "退出应用程序"}};
    for (Language language : {Language::English, Language::Chinese}) {
        app::CMainFrameWindow& w = OpenFrame(language);
        const std::vector<fw::UINT> order{res::ID_START_CONFIG,    res::ID_STOP_CONFIG,
                                          res::ID_MODIFY,          res::ID_RESTORE,
                                          res::ID_UPDATE_FIRMWARE, res::ID_SELECT_FIRMWARE,
                                          res::ID_SHOW_DEBUG_INFO, res::ID_SETTINGS,
                                          res::ID_APP_ABOUT,       res::ID_APP_EXIT};
        EXPECT_EQ(w.ToolBar()->Commands(), order);
        // Buttons in resource order with the one separator after Restore.
        const QList<QAction*> items = w.ToolBar()->actions();
        ASSERT_EQ(items.size(), 11);
        for (qsizetype i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i]->isSeparator(), i == 4) << i;
        }
        EXPECT_EQ(w.ToolBar()->widgetForAction(items[3]), w.ToolBar()->Button(res::ID_RESTORE));
        EXPECT_EQ(w.ToolBar()->widgetForAction(items[5]),
                  w.ToolBar()->Button(res::ID_UPDATE_FIRMWARE));

        const bool zh = language == Language::Chinese;
        for (const ToolbarWords& words :
             zh ? std::span<const ToolbarWords>(chinese) : std::span<const ToolbarWords>(english)) {
            const QToolButton* button = w.ToolBar()->Button(words.command);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text().toStdString(), words.text) << words.command;
            EXPECT_EQ(button->toolTip().toStdString(), words.tooltip) << words.command;
            EXPECT_EQ(button->statusTip().toStdString(), words.prompt) << words.command;
            EXPECT_EQ(button->size(), QSize(72, 72));
            EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
            EXPECT_TRUE(button->autoRaise());
            // The label fits the button rather than being cut short.
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), 72);
        }
    }
}

TEST_F(AppWindow, StatusBarShowsAButtonsPromptWhileThePointerRestsOnIt) {
    for (Language language : {Language::English, Language::Chinese}) {
        app::CMainFrameWindow& w = OpenFrame(language);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        QToolButton* modify = w.ToolBar()->Button(res::ID_MODIFY);
        QTest::mouseMove(modify);
        EXPECT_TRUE(WaitFor([&] { return !w.statusBar()->currentMessage().isEmpty(); }, 2000));
        EXPECT_EQ(w.statusBar()->currentMessage().toStdString(),
                  language == Language::Chinese ? "修改参数" : "Modify Settings");
        EXPECT_FALSE(w.IdleMessage()->isVisible());

        QTest::mouseMove(w.FormView()->Control(res::IDC_HELP_PANE));
        EXPECT_TRUE(WaitFor([&] { return w.statusBar()->currentMessage().isEmpty(); }, 2000));
        EXPECT_TRUE(w.IdleMessage()->isVisible());
        EXPECT_EQ(w.IdleMessage()->text().toStdString(),
                  language == Language::Chinese ? "就绪" : "Ready");
    }
}

TEST_F(AppWindow, LockIndicatorsAreGreyedWhereTheirStateIsUnknown) {
    // The offscreen platform cannot tell the lock keys' state.
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    for (Language language : {Language::English, Language::Chinese}) {
        app::CMainFrameWindow& w = OpenFrame(language);
        const bool zh = language == Language::Chinese;
        const std::pair<fw::UINT, const char*> panes[] = {
            {res::IDS_INDICATOR_CAPS, zh ? "大写" : "CAP"},
            {res::IDS_INDICATOR_NUM, zh ? "数字" : "NUM"},
            {res::IDS_INDICATOR_SCRL, zh ? "滚动" : "SCRL"}};
        for (const auto& [id, text] : panes) {
            QLabel* pane = w.Indicator(id);
            ASSERT_NE(pane, nullptr);
            EXPECT_EQ(pane->text().toStdString(), text);
            EXPECT_FALSE(pane->isEnabled());
            EXPECT_EQ(pane->toolTip(), Str(res::IDS_INDICATOR_UNKNOWN));
        }
    }
}

TEST_F(AppWindow, AboutShowsTheBoxFromItsTemplate) {
    for (Language language : {Language::English, Language::Chinese}) {
        app::CMainFrameWindow& w = OpenFrame(language);
        const bool zh = language == Language::Chinese;
        QString caption;
        QStringList texts;
        desktoptest::ModalScript script;
        script.Then([](QWidget* modal) { return qobject_cast<QDialog*>(modal) != nullptr; },
                    [&](QWidget* modal) {
                        caption = modal->windowTitle();
                        for (QLabel* label : modal->findChildren<QLabel*>()) {
                            texts << label->text();
                        }
                        for (QPushButton* button : modal->findChildren<QPushButton*>()) {
                            if (button->text() == (zh ? "确定" : "OK")) {
                                button->click();
                            }
                        }
                    });
        w.ToolBar()->Action(res::ID_APP_ABOUT)->trigger();
        EXPECT_TRUE(script.Done());
        EXPECT_EQ(caption.toStdString(),
                  zh ? "关于 DTU批量配置软件" : "About Kavrel Batch Configuration Software");
        EXPECT_TRUE(texts.contains(zh ? "DTU批量配置软件 2.9 版"
                                      : "Kavrel Batch Configuration Software V2.9"));
        EXPECT_TRUE(texts.contains(zh ? "2011-2022（2022/11/09）" : "2011-2022(2022/11/09)"));
        EXPECT_TRUE(texts.contains(zh ? "Tirvel " TIRVEL_VERSION " — 由源代码构建，用于 Kavrel DTU"
                                      : "Tirvel " TIRVEL_VERSION
                                        " — built from source; for Kavrel DTUs"))
            << texts.join('|').toStdString();
        EXPECT_FALSE(QApplication::activeModalWidget());
    }
}

// Select File reaches the view: the chooser asks for firmware in the window's
// language, and a chooser that is cancelled keeps the file chosen before.
TEST_F(AppWindow, SelectFileAsksForTheFirmwareAndKeepsItUntilAnotherIsChosen) {
    for (Language language : {Language::English, Language::Chinese}) {
        app::CMainFrameWindow& w = OpenFrame(language);
        desktoptest::MessageBoxCloser closer;
        dialogs.requests.clear();
        dialogs.answers = {std::string("/firmware/one.bin"), std::nullopt};
        w.ToolBar()->Action(res::ID_SELECT_FIRMWARE)->trigger();
        w.ToolBar()->Action(res::ID_SELECT_FIRMWARE)->trigger();
        ASSERT_EQ(dialogs.requests.size(), 2u);
        EXPECT_FALSE(dialogs.requests[0].save);
        EXPECT_EQ(dialogs.requests[0].title, fw::LoadString(res::IDS_FIRMWARE_TITLE));
        EXPECT_EQ(dialogs.requests[0].filter, fw::LoadString(res::IDS_FIRMWARE_FILTER));
        EXPECT_EQ(w.View().m_strFirmwarePath, "/firmware/one.bin");
        QTest::qWait(50);
        EXPECT_TRUE(closer.texts.empty());
        EXPECT_EQ(w.ConnectionState(), kStateIdle);
        EXPECT_TRUE(w.ToolBar()->Action(res::ID_UPDATE_FIRMWARE)->isEnabled());
        EXPECT_TRUE(w.ToolBar()->Action(res::ID_SHOW_DEBUG_INFO)->isEnabled());
    }
}

TEST_F(AppWindow, ExitClosesTheWindow) {
    app::CMainFrameWindow& w = OpenFrame();
    ASSERT_TRUE(w.isVisible());
    w.ToolBar()->Action(res::ID_APP_EXIT)->trigger();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(AppWindow, EditKeysReachTheFocusedEditNeverTheEditCommands) {
    app::CMainFrameWindow& w = OpenFrame();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (fw::UINT command : {res::ID_EDIT_COPY, res::ID_EDIT_CUT, res::ID_EDIT_PASTE,
                             res::ID_EDIT_UNDO, res::ID_NEXT_PANE, res::ID_PREV_PANE}) {
        QAction* action = w.AcceleratorAction(command);
        ASSERT_NE(action, nullptr) << command;
        EXPECT_FALSE(action->shortcuts().isEmpty()) << command;
        spies.push_back(std::make_unique<QSignalSpy>(action, &QAction::triggered));
    }
    auto* source = qobject_cast<QLineEdit*>(w.FormView()->Control(res::IDC_ITEM_NEW_BASE + 1));
    auto* target = qobject_cast<QLineEdit*>(w.FormView()->Control(res::IDC_ITEM_NEW_BASE + 2));
    ASSERT_TRUE(source && target);
    source->setFocus();
    ASSERT_TRUE(WaitFor([&] { return source->hasFocus(); }));
    QTest::keyClicks(source, "apn.example");
    source->selectAll();
    QTest::keyClick(source, Qt::Key_Insert, Qt::ControlModifier);
    QTest::keyClick(source, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(source->text(), "");
    QTest::keyClick(source, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(source->text(), "apn.example");
    target->setFocus();
    QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(target->text(), "apn.exampleapn.example");
    QTest::keyClick(target, Qt::Key_F6);
    for (const auto& spy : spies) {
        EXPECT_EQ(spy->count(), 0);
    }
}

TEST_F(AppWindow, SaveAsksForANameAndWritesAnEmptyFileThatJoinsTheRecentFiles) {
    app::CMainFrameWindow& w = OpenFrame();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const std::filesystem::path saved = dir.Path() / "saved.dat";
    { std::ofstream(saved) << "previous contents"; }
    dialogs.answers.push_back(saved.string());
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_TRUE(dialogs.requests[0].save);
    EXPECT_EQ(dialogs.requests[0].fileName, "Untitled");
    EXPECT_EQ(std::filesystem::file_size(saved), 0u);

    // Cancelled: nothing written, nothing remembered.
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialogs.requests.size(), 2u);
    EXPECT_EQ(recentFiles->Files(), std::vector<std::string>{saved.string()});
}

TEST_F(AppWindow, OpenAndNewStartTheFormAfreshAndOpenRemembersTheFile) {
    app::CMainFrameWindow& w = OpenFrame();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.View().SetItemLabel(3, "changed");
    w.View().UpdateData(false);
    ASSERT_EQ(ControlText(res::IDC_ITEM_LABEL_BASE + 3), "3. changed");

    const std::filesystem::path opened = dir.Path() / "profile.dat";
    { std::ofstream(opened) << "x"; }
    dialogs.answers.push_back(opened.string());
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(ControlText(res::IDC_ITEM_LABEL_BASE + 3), "3. Item3");
    EXPECT_EQ(recentFiles->Files(), std::vector<std::string>{opened.string()});

    // A file that cannot be read is reported and not remembered.
    desktoptest::MessageBoxCloser closer;
    dialogs.answers.push_back((dir.Path() / "missing.dat").string());
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(WaitFor([&] { return !closer.texts.empty(); }, 2000));
    EXPECT_EQ(closer.texts, std::vector<std::string>{"Failed to open the file!"});
    EXPECT_EQ(recentFiles->Files().size(), 1u);

    w.View().SetItemLabel(5, "changed");
    w.View().UpdateData(false);
    QApplication::setActiveWindow(&w);  // the closed box left no window active here
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(ControlText(res::IDC_ITEM_LABEL_BASE + 5), "5. Item5");
}

// Open only checks the file: an empty one is a document like any other, while
// a device that never ends and a FIFO nobody writes to are refused at once.
TEST_F(AppWindow, OpenRefusesADeviceOrAFifoWithoutWaitingOnIt) {
    OpenFrame();
    const std::filesystem::path fifo = dir.Path() / "fifo.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    desktoptest::MessageBoxCloser closer;
    for (const std::string& path : {std::string("/dev/zero"), fifo.string()}) {
        closer.texts.clear();
        EXPECT_FALSE(document->OnOpenDocument(path)) << path;
        EXPECT_EQ(closer.texts, std::vector<std::string>{"Failed to open the file!"}) << path;
    }
    EXPECT_TRUE(recentFiles->Files().empty());
    const std::filesystem::path empty = dir.Path() / "empty.dat";
    { std::ofstream(empty).flush(); }
    EXPECT_TRUE(document->OnOpenDocument(empty.string()));
    EXPECT_EQ(recentFiles->Files(), std::vector<std::string>{empty.string()});
}

// Settings linked to a device, to keep nothing, stay so: Qt would rename a
// new file over the device. The list still serves the run.
TEST(AppRecentFiles, SettingsThatAreADeviceStayADevice) {
    testsupport::TempDir dir;
    const std::filesystem::path null = dir.Path() / "null";
    if (!testsupport::MakeSpecialFile(null, testsupport::SpecialKind::kNullDevice)) {
        GTEST_SKIP() << "device nodes need root";
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.Path().string()));
    const std::filesystem::path folder = dir.Path() / "Local AppWizard-Generated Applications";
    std::filesystem::create_directory(folder);
    std::filesystem::create_symlink(null, folder / "Tirvel.conf");
    const std::string file = (dir.Path() / "f1").string();
    app::CSettingsRecentFileStore store;
    app::CRecentFileList list(store);
    list.Add(file);
    EXPECT_EQ(list.Files(), std::vector<std::string>{file});
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "Tirvel.conf"));
    struct stat st {};
    ASSERT_EQ(::stat(null.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(AppRecentFiles, KeepsFourNewestFirstWithoutDuplicatesAcrossRuns) {
    testsupport::TempDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.Path().string()));
    const auto path = [&dir](int n) { return (dir.Path() / ("f" + std::to_string(n))).string(); };
    app::CSettingsRecentFileStore store;
    {
        app::CRecentFileList list(store);
        for (int n = 1; n <= 5; ++n) {
            list.Add(path(n));
        }
        list.Add(path(3));
        EXPECT_EQ(list.Files(), (std::vector<std::string>{path(3), path(5), path(4), path(2)}));
    }
    app::CRecentFileList again(store);
    EXPECT_EQ(again.Files(), (std::vector<std::string>{path(3), path(5), path(4), path(2)}));
    QSettings settings(QStringLiteral("Local AppWizard-Generated Applications"),
                       QStringLiteral("Tirvel"));
    EXPECT_EQ(settings.value("Recent File List/File1").toString().toStdString(), path(3));
}

}  // namespace
