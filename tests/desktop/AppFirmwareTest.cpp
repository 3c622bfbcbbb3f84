// The firmware update and the debug log through the main window's toolbar and
// widgets, against kavrel-sim's boot loader and debug output; and the transfer
// dialog as the desktop shows it, in both languages.
#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "AppTestSupport.h"
#include "TestFiles.h"
#include "firmware/TransferDlg.h"
#include "form/Tirvel2View.h"
#include "framework/qt/QtWindowSite.h"
#include "res/Dialogs.h"
#include "res/ResourceIds.h"

namespace {

using testsupport::ReadFile;

using apptest::WaitFor;
using desktoptest::FindControl;
using desktoptest::ModalScript;

// An image whose bytes differ from block to block and cover every value.
std::string Image(std::size_t size) {
    std::string image(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<char>((i * 7 + i / 128) & 0xFF);
    }
    return image;
}

QProgressBar* ProgressOf(QWidget* dialog) {
    return qobject_cast<QProgressBar*>(FindControl(dialog, res::IDC_TRANSFER_PROGRESS));
}
QLineEdit* PathOf(QWidget* dialog) {
    return qobject_cast<QLineEdit*>(FindControl(dialog, res::IDC_TRANSFER_PATH));
}

class AppFirmware : public apptest::AppFixture {
protected:
    void StartSim(std::vector<std::string> extra) {
        std::vector<std::string> args{"--link", Link(), "--boot-ms", "200"};
        args.insert(args.end(), extra.begin(), extra.end());
        sim = std::make_unique<testsupport::SimProcess>(args);
    }
    void TearDown() override {
        AppFixture::TearDown();
        sim.reset();
    }
    std::string Link() const { return (dir.Path() / "dtu").string(); }
    std::string WriteFile(const std::string& name, const std::string& bytes) const {
        const auto path = dir.Path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    app::CMainFrameWindow& Frame(fw::Language language = fw::Language::English) {
        app::CMainFrameWindow& w = OpenFrame(language);
        w.View().m_strDevicePath = Link();
        return w;
    }
    std::vector<fw::UINT> EnabledCommands() const {
        std::vector<fw::UINT> enabled;
        for (fw::UINT command : frame->ToolBar()->Commands()) {
            if (frame->ToolBar()->Action(command)->isEnabled()) {
                enabled.push_back(command);
            }
        }
        return enabled;
    }

    std::unique_ptr<testsupport::SimProcess> sim;
};

const std::vector<fw::UINT> kStopAndExit{res::ID_STOP_CONFIG, res::ID_APP_EXIT};

TEST_F(AppFirmware, UpdateSendsTheChosenImageThroughTheTransferDialog) {
    const auto received = dir.Path() / "received.bin";
    StartSim({"--loader-ms", "1000", "--firmware-out", received.string()});
    const std::string image = Image(128 * 6 + 45);
    const std::string path = WriteFile("fw.bin", image);
    app::CMainFrameWindow& w = Frame();

    dialogs.answers.push_back(path);
    w.ToolBar()->Action(res::ID_SELECT_FIRMWARE)->trigger();
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_FALSE(dialogs.requests[0].save);
    EXPECT_EQ(w.View().m_strFirmwarePath, path);
    EXPECT_EQ(w.ConnectionState(), kStateIdle);

    struct Seen {
        QString title, path, button;
        bool readOnly = false, waitCursor = true, openAfterEnter = false;
        int minimum = -1, maximum = -1, buttons = 0;
    } seen;
    QString boxText, boxTitle;
    int barAtOutcome = -1;
    ModalScript script;
    script.When<QDialog>([&](QDialog* d) {
        seen.title = d->windowTitle();
        seen.path = PathOf(d)->text();
        seen.readOnly = PathOf(d)->isReadOnly();
        seen.minimum = ProgressOf(d)->minimum();
        seen.maximum = ProgressOf(d)->maximum();
        const auto buttons = d->findChildren<QPushButton*>();
        seen.buttons = static_cast<int>(buttons.size());
        seen.button = buttons.isEmpty() ? QString() : buttons.first()->text();
        seen.waitCursor = desktoptest::WaitCursorShown();
        // Enter in the field is OK, which must not end a running transfer.
        PathOf(d)->setFocus();
        QTest::keyClick(PathOf(d), Qt::Key_Return);
        seen.openAfterEnter = d->isVisible();
    });
    script.When<QMessageBox>([&](QMessageBox* box) {
        boxText = box->text();
        boxTitle = box->windowTitle();
        if (QWidget* owner = box->parentWidget()) {
            barAtOutcome = ProgressOf(owner->window())->value();
        }
        box->button(QMessageBox::Ok)->click();
    });

    w.ToolBar()->Action(res::ID_UPDATE_FIRMWARE)->trigger();
    EXPECT_EQ(w.ConnectionState(), kStateAwaitingLoader);
    EXPECT_EQ(EnabledCommands(), kStopAndExit);
    ASSERT_TRUE(WaitFor([&] { return script.Done(); }, 12000));
    ASSERT_TRUE(WaitFor([&] { return w.ConnectionState() == kStateIdle; }, 2000));

    EXPECT_EQ(seen.title, QStringLiteral("Tranfer File"));
    EXPECT_EQ(seen.path.toStdString(), path);
    EXPECT_TRUE(seen.readOnly);
    EXPECT_EQ(seen.minimum, 0);
    EXPECT_EQ(seen.maximum, CTransferDlg::kProgressMax);
    EXPECT_EQ(seen.buttons, 1);
    EXPECT_EQ(seen.button, QStringLiteral("Cancel"));
    EXPECT_FALSE(seen.waitCursor);
    EXPECT_TRUE(seen.openAfterEnter);
    EXPECT_EQ(boxText, QStringLiteral("Updated firmware successfully!"));
    EXPECT_EQ(boxTitle, QStringLiteral("Info"));
    EXPECT_EQ(barAtOutcome, CTransferDlg::kProgressMax);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(desktoptest::WaitCursorShown());
    EXPECT_TRUE(w.ToolBar()->Action(res::ID_UPDATE_FIRMWARE)->isEnabled());

    std::string expected = image + '\x1A';
    expected.resize((expected.size() + 127) / 128 * 128, '\0');
    ASSERT_TRUE(WaitFor([&] { return ReadFile(received).size() >= expected.size(); }, 3000));
    EXPECT_EQ(ReadFile(received), expected);
}

TEST_F(AppFirmware, EscapeInTheTransferDialogCancelsWithoutAMessage) {
    const auto received = dir.Path() / "received.bin";
    // The loader withholds one acknowledgement, so the sender is still waiting
    // for it (ten seconds) whatever the load on the machine: the pty carries
    // the rest at memory speed, and a busy machine once saw all of it through
    // before the Escape.
    StartSim({"--loader-ms", "1000", "--firmware-out", received.string(), "--drop-ack", "200"});
    const std::string path = WriteFile("big.bin", Image(256 * 1024));
    app::CMainFrameWindow& w = Frame();
    w.View().m_strFirmwarePath = path;

    desktoptest::MessageBoxCloser closer;
    bool progressed = false, openAfterEnter = false;
    ModalScript script;
    script.When<QDialog>([&](QDialog* d) {
        progressed = WaitFor([&] { return ProgressOf(d)->value() > 0; }, 5000);
        PathOf(d)->setFocus();
        QTest::keyClick(PathOf(d), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::qWait(50);
        openAfterEnter = d->isVisible();
        QTest::keyClick(d, Qt::Key_Escape);
    });
    w.ToolBar()->Action(res::ID_UPDATE_FIRMWARE)->trigger();
    ASSERT_TRUE(WaitFor([&] { return script.Done(); }, 10000));
    ASSERT_TRUE(WaitFor([&] { return w.ConnectionState() == kStateIdle; }, 8000));
    EXPECT_TRUE(progressed);
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(w.View().m_hComPort, INVALID_HANDLE_VALUE);
    QTest::qWait(100);
    EXPECT_TRUE(closer.texts.empty()) << closer.texts.front();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // No end of transmission reached the loader, so it kept no image.
    EXPECT_FALSE(std::filesystem::exists(received));
}

TEST_F(AppFirmware, ShowLogFollowsTheDeviceUntilTheNextStart) {
    // A byte that is no UTF-8 must still be saved as it came.
    const std::string text = WriteFile("debug.txt",
                                       "+0 DTU boot ok\n"
                                       "+50 signal \\xB5 -71dBm\n");
    StartSim({"--loader-ms", "300", "--debug-text", text});
    app::CMainFrameWindow& w = Frame();
    fw::qt::CQtFormView* form = w.FormView();

    w.ToolBar()->Action(res::ID_SHOW_DEBUG_INFO)->trigger();
    EXPECT_EQ(w.ConnectionState(), kStateDebugLog);
    EXPECT_EQ(EnabledCommands(), kStopAndExit);
    for (int id : {res::IDC_LOG_PANE, res::IDC_CLEAR_LOG, res::IDC_SAVE_LOG}) {
        EXPECT_TRUE(form->IsControlVisible(id)) << id;
    }
    for (int id :
         {res::IDC_IMEI, res::IDC_HELP_PANE, res::IDC_EXPORT_CONFIG, res::IDC_ITEM_NEW_BASE + 1}) {
        EXPECT_FALSE(form->IsControlVisible(id)) << id;
    }
    EXPECT_EQ(form->Control(res::IDC_LOG_PANE)->size(), QSize(680, 500));

    ASSERT_TRUE(WaitFor(
        [&] { return form->GetControlText(res::IDC_LOG_PANE).find("-71dBm") != std::string::npos; },
        5000))
        << form->GetControlText(res::IDC_LOG_PANE);
    EXPECT_EQ(form->GetControlText(res::IDC_LOG_PANE).find("DTU boot ok"), 0u);

    const std::string saved = (dir.Path() / "saved.txt").string();
    dialogs.answers.push_back(saved);
    Click(res::IDC_SAVE_LOG);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_TRUE(dialogs.requests[0].save);
    EXPECT_EQ(ReadFile(saved), "DTU boot ok\r\nsignal \xB5 -71dBm\r\n");

    Click(res::IDC_CLEAR_LOG);
    EXPECT_EQ(form->GetControlText(res::IDC_LOG_PANE), "");
    EXPECT_EQ(form->Control(res::IDC_LOG_PANE)->size(), QSize(680, 500));

    w.ToolBar()->Action(res::ID_STOP_CONFIG)->trigger();
    EXPECT_EQ(w.ConnectionState(), kStateIdle);
    EXPECT_TRUE(form->IsControlVisible(res::IDC_LOG_PANE));
    EXPECT_FALSE(form->IsControlVisible(res::IDC_EXPORT_CONFIG));

    w.ToolBar()->Action(res::ID_START_CONFIG)->trigger();
    EXPECT_EQ(w.ConnectionState(), kStateConnecting);
    EXPECT_FALSE(form->IsControlVisible(res::IDC_LOG_PANE));
    EXPECT_FALSE(form->IsControlVisible(res::IDC_SAVE_LOG));
    EXPECT_TRUE(form->IsControlVisible(res::IDC_EXPORT_CONFIG));
    EXPECT_TRUE(form->IsControlVisible(res::IDC_ITEM_NEW_BASE + 1));
    w.ToolBar()->Action(res::ID_STOP_CONFIG)->trigger();
    EXPECT_EQ(w.ConnectionState(), kStateIdle);
}

// The dialog on its own, with a file that cannot be read, so nothing runs:
// its captions and size in each language, a bar that is full past its end,
// Enter that ends it with OK when no transfer runs, and the close box = Cancel.
TEST_F(AppFirmware, TransferDialogInBothLanguages) {
    for (fw::Language language : {fw::Language::English, fw::Language::Chinese}) {
        desktoptest::LanguageScope scope(language);
        const bool zh = language == fw::Language::Chinese;
        const fw::DialogTemplate* t = res::FindDialogTemplate(res::IDD_TRANSFER, language);
        ASSERT_NE(t, nullptr);
        const QSize expectedSize =
            fw::qt::DialogUnitsToPixels(
                {0, 0, t->width, t->height},
                fw::qt::BaseUnitsOf(fw::qt::TemplateFont(t->fontFace, t->fontPoints)))
                .size();
        for (bool closeBox : {false, true}) {
            CTransferDlg dialog;
            dialog.m_strFilePath = (dir.Path() / "missing.bin").string();
            QString title, path;
            QStringList labels;
            QSize size;
            QStringList buttons;
            int fullAt1500 = -1;
            ModalScript script;
            script.When<QDialog>([&](QDialog* d) {
                title = d->windowTitle();
                size = d->size();
                path = PathOf(d)->text();
                for (QLabel* label : d->findChildren<QLabel*>()) {
                    labels << label->text();
                }
                for (QPushButton* button : d->findChildren<QPushButton*>()) {
                    buttons << button->text();
                }
                dialog.m_ctrlProgress.SetPos(1500);
                fullAt1500 = ProgressOf(d)->value();
                if (closeBox) {
                    d->close();
                } else {
                    PathOf(d)->setFocus();
                    QTest::keyClick(PathOf(d), Qt::Key_Return);
                }
            });
            EXPECT_EQ(dialog.DoModal(), closeBox ? fw::IDCANCEL : fw::IDOK);
            EXPECT_TRUE(script.Done());
            EXPECT_EQ(title, zh ? QStringLiteral("发送文件") : QStringLiteral("Tranfer File"));
            EXPECT_EQ(size, expectedSize);
            EXPECT_EQ(path.toStdString(), dialog.m_strFilePath);
            EXPECT_TRUE(
                labels.contains(zh ? QStringLiteral("正在发送：") : QStringLiteral("File:")))
                << labels.join('|').toStdString();
            EXPECT_TRUE(
                labels.contains(zh ? QStringLiteral("进度：") : QStringLiteral("Progress:")));
            EXPECT_EQ(buttons, QStringList{zh ? QStringLiteral("取消") : QStringLiteral("Cancel")});
            EXPECT_EQ(fullAt1500, CTransferDlg::kProgressMax);
            EXPECT_FALSE(dialog.HasWorker());
        }
    }
}

}  // namespace
