// Modal dialogs from their templates, file choosers and Qt's own translations.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "DesktopSupport.h"
#include "SimProcess.h"
#include "TempConfigHome.h"
#include "framework/DataExchange.h"
#include "framework/StringTable.h"
#include "framework/qt/QtDialogHost.h"
#include "protocol/PasswordDlg.h"
#include "protocol/SettingsDlg.h"
#include "res/ResourceIds.h"

namespace {

using desktoptest::FindControl;
using desktoptest::ModalScript;

class DialogHost : public ::testing::Test {
protected:
    DialogHost() : language(fw::Language::English) { fw::SetDialogHost(&host); }
    ~DialogHost() override { fw::SetDialogHost(nullptr); }

    static void Type(QDialog* dialog, int id, const QString& text) {
        auto* edit = qobject_cast<QLineEdit*>(FindControl(dialog, id));
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        desktoptest::TypeText(edit, text);
    }
    // A name typed into the file dialog's name box in a folder, then the Save
    // or Open button: selectFile() would leave a focused box alone.
    static void ChooseFile(QFileDialog* dialog, const std::filesystem::path& folder,
                           const QString& name) {
        dialog->setDirectory(QString::fromStdString(folder.string()));
        auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(box, nullptr);
        box->setText(name);
        static_cast<QDialog*>(dialog)->accept();
    }
    static void Press(QDialog* dialog, int id) {
        auto* button = qobject_cast<QPushButton*>(FindControl(dialog, id));
        ASSERT_NE(button, nullptr);
        button->click();
    }

    desktoptest::LanguageScope language;
    fw::qt::CQtDialogHost host;
};

TEST_F(DialogHost, SettingsRefuseAPortOutOfRangeAndStayOpenUntilOneFits) {
    CSettingsDlg dialog;
    dialog.m_nComPort = 3;
    QString shownFirst;
    QString title;
    QSize size;
    std::vector<std::string> prompts;
    bool openAfterPrompt = false;
    QDialog* window = nullptr;

    ModalScript script;
    script.When<QDialog>([&](QDialog* d) {
        window = d;
        title = d->windowTitle();
        size = d->size();
        shownFirst = qobject_cast<QLineEdit*>(FindControl(d, res::IDC_COM_PORT))->text();
        Type(d, res::IDC_COM_PORT, QStringLiteral("0"));
        Press(d, fw::IDOK);
    });
    script.When<QMessageBox>([&](QMessageBox* box) {
        prompts.push_back(box->text().toStdString());
        box->close();
    });
    script.Then([&](QWidget* modal) { return modal == window; },
                [&](QWidget*) {
                    openAfterPrompt = window->isVisible();
                    Type(window, res::IDC_COM_PORT, QStringLiteral("255"));
                    QTest::keyClick(window, Qt::Key_Return);
                });

    EXPECT_EQ(dialog.DoModal(), fw::IDOK);
    EXPECT_TRUE(script.Done());
    EXPECT_EQ(title, QStringLiteral("Settings"));
    EXPECT_EQ(shownFirst, QStringLiteral("3"));
    EXPECT_FALSE(size.isEmpty());
    ASSERT_EQ(prompts.size(), 1u);
    EXPECT_EQ(prompts[0],
              fw::FormatMessageText(fw::LoadString(fw::AFX_IDP_PARSE_INT_RANGE), {"1", "255"}));
    EXPECT_TRUE(openAfterPrompt);
    EXPECT_EQ(dialog.m_nComPort, 255u);
    EXPECT_EQ(dialog.Site(), nullptr);
}

// The line under the COM number follows what is typed: a number pinned to a
// device shows that device, one pinned to an adapter that is gone says so.
TEST_F(DialogHost, SettingsShowWhichDeviceTheTypedNumberOpens) {
    const testsupport::TempConfigHome config;
    const std::filesystem::path ports = config.Path() / "tirvel" / "ports";
    std::filesystem::create_directories(ports);
    const std::filesystem::path adapter = config.Path() / "ttyADAPTER";
    std::ofstream(adapter) << "";
    std::filesystem::create_symlink(adapter, ports / "com7");
    std::filesystem::create_symlink(config.Path() / "unplugged", ports / "com8");

    CSettingsDlg dialog;
    dialog.m_nComPort = 7;
    QString first, afterEight, afterNothing;
    ModalScript script;
    script.When<QDialog>([&](QDialog* d) {
        auto* line = qobject_cast<QLabel*>(FindControl(d, res::IDC_COM_DEVICE));
        ASSERT_NE(line, nullptr);
        first = line->text();
        Type(d, res::IDC_COM_PORT, QStringLiteral("8"));
        afterEight = line->text();
        qobject_cast<QLineEdit*>(FindControl(d, res::IDC_COM_PORT))->selectAll();
        QTest::keyClick(FindControl(d, res::IDC_COM_PORT), Qt::Key_Delete);
        afterNothing = line->text();
        Press(d, fw::IDCANCEL);
    });
    EXPECT_EQ(dialog.DoModal(), fw::IDCANCEL);
    // No machine numbers 255 serial devices without pinning one there.
    const std::string none = CSettingsDlg::DescribeComNumber("255");
    const std::string notANumber = CSettingsDlg::DescribeComNumber("07");
    EXPECT_EQ(first, QString::fromStdString("Opens " + adapter.string()));
    EXPECT_EQ(afterEight,
              QString::fromStdString("Pinned to " + (config.Path() / "unplugged").string() +
                                     ", which is not there now."));
    EXPECT_EQ(afterNothing, QString());
    EXPECT_EQ(none, "Reaches no device now.");
    EXPECT_EQ(notANumber, "");
    EXPECT_EQ(dialog.m_nComPort, 7u);  // cancelled: nothing taken
}

TEST_F(DialogHost, PasswordComesBackAsTypedAndEscapeOrTheCloseBoxCancel) {
    {
        CPasswordDlg dialog;
        QLineEdit::EchoMode echo = QLineEdit::NoEcho;
        ModalScript script;
        script.When<QDialog>([&](QDialog* d) {
            echo = qobject_cast<QLineEdit*>(FindControl(d, res::IDC_PASSWORD))->echoMode();
            Type(d, res::IDC_PASSWORD, QStringLiteral("s3cr€t"));
            Press(d, fw::IDOK);
        });
        EXPECT_EQ(dialog.DoModal(), fw::IDOK);
        EXPECT_EQ(echo, QLineEdit::Normal);
        EXPECT_EQ(dialog.m_strPassword, "s3cr\x80t");  // the euro sign in Windows-1252
    }
    {
        CPasswordDlg dialog;
        ModalScript script;
        script.When<QDialog>([&](QDialog* d) {
            Type(d, res::IDC_PASSWORD, QStringLiteral("typed"));
            QTest::keyClick(d, Qt::Key_Escape);
        });
        EXPECT_EQ(dialog.DoModal(), fw::IDCANCEL);
        EXPECT_EQ(dialog.m_strPassword, "");
    }
    {
        CPasswordDlg dialog;
        ModalScript script;
        script.When<QDialog>([&](QDialog* d) { d->close(); });
        EXPECT_EQ(dialog.DoModal(), fw::IDCANCEL);
    }
}

TEST(QtFilter, PairsBecomeDescriptionsWithSpaceSeparatedPatterns) {
    EXPECT_EQ(fw::qt::ToQtFilter("Firmware File (*.bin;*.img)|*.bin;*.img|All Files (*.*)|*.*||"),
              QStringLiteral("Firmware File (*.bin;*.img) (*.bin *.img);;All Files (*.*) (*.*)"));
    EXPECT_EQ(fw::qt::ToQtFilter("文件类型(*.txt)|*.txt|文件类型(*.ini)|*.ini||"),
              QStringLiteral("文件类型(*.txt) (*.txt);;文件类型(*.ini) (*.ini)"));
    // Without the closing "||" the pairs are the same; nothing after it counts.
    EXPECT_EQ(fw::qt::ToQtFilter("Text|*.txt"), QStringLiteral("Text (*.txt)"));
    EXPECT_EQ(fw::qt::ToQtFilter("Text|*.txt||Ignored|*.x"), QStringLiteral("Text (*.txt)"));
    EXPECT_EQ(fw::qt::ToQtFilter(""), QString());
}

TEST_F(DialogHost, SaveDialogTakesTheRequestAndReturnsTheAbsolutePath) {
    testsupport::TempDir dir;
    fw::FileDialogRequest request;
    request.save = true;
    request.defaultExt = "txt";
    request.fileName = "log";
    request.flags = fw::OFN_HIDEREADONLY | fw::OFN_OVERWRITEPROMPT;
    request.filter = "Text (*.txt)|*.txt|Settings (*.ini)|*.ini||";
    request.title = "Save the log";

    QStringList filters;
    QString title;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    bool confirmsOverwrite = false;
    ModalScript script;
    script.When<QFileDialog>([&](QFileDialog* d) {
        filters = d->nameFilters();
        title = d->windowTitle();
        mode = d->acceptMode();
        confirmsOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
        ChooseFile(d, dir.Path(), QStringLiteral("device-log"));
    });
    const auto path = fw::RunFileDialog(request);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(std::filesystem::path(*path), dir.Path() / "device-log.txt");
    EXPECT_EQ(filters, (QStringList{QStringLiteral("Text (*.txt) (*.txt)"),
                                    QStringLiteral("Settings (*.ini) (*.ini)")}));
    EXPECT_EQ(title, QStringLiteral("Save the log"));
    EXPECT_EQ(mode, QFileDialog::AcceptSave);
    EXPECT_TRUE(confirmsOverwrite);

    request.flags = 0;
    script.When<QFileDialog>([&](QFileDialog* d) {
        confirmsOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
        d->reject();
    });
    EXPECT_FALSE(fw::RunFileDialog(request).has_value());
    EXPECT_FALSE(confirmsOverwrite);
}

TEST_F(DialogHost, OpenDialogWithFileMustExistChoosesExistingFilesOnly) {
    testsupport::TempDir dir;
    std::ofstream(dir.Path() / "cfg.txt") << "1,a,b\n";
    fw::FileDialogRequest request;
    request.flags = fw::OFN_FILEMUSTEXIST;
    request.filter = "Text (*.txt)|*.txt||";

    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptSave;
    ModalScript script;
    script.When<QFileDialog>([&](QFileDialog* d) {
        fileMode = d->fileMode();
        acceptMode = d->acceptMode();
        ChooseFile(d, dir.Path(), QStringLiteral("cfg.txt"));
    });
    const auto path = fw::RunFileDialog(request);
    EXPECT_EQ(fileMode, QFileDialog::ExistingFile);
    EXPECT_EQ(acceptMode, QFileDialog::AcceptOpen);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(std::filesystem::path(*path), dir.Path() / "cfg.txt");
}

TEST(QtTranslations, ChineseTranslatesQtsOwnTextsAndEnglishTakesThemBack) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    const QString english = QCoreApplication::translate("QPlatformTheme", "Cancel");
    ASSERT_EQ(english, QStringLiteral("Cancel"));
    ASSERT_TRUE(fw::qt::InstallQtTranslations(*app, fw::Language::Chinese));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    EXPECT_TRUE(fw::qt::InstallQtTranslations(*app, fw::Language::English));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), english);
}

}  // namespace
