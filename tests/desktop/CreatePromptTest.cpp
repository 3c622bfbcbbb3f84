// A save chooser with OFN_CREATEPROMPT asks before it names a file that does
// not exist yet; No goes back to the chooser.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "DesktopSupport.h"
#include "TempDir.h"
#include "framework/qt/QtDialogHost.h"

namespace {

struct Case {
    fw::Language language;
    const char* question;
};

class CreatePrompt : public ::testing::TestWithParam<Case> {
protected:
    CreatePrompt() : language_(GetParam().language) { fw::SetDialogHost(&host_); }
    ~CreatePrompt() override { fw::SetDialogHost(nullptr); }

    // Types the name into the chooser and presses its Save button.
    void Choose(QFileDialog* d, const char* name) {
        d->setDirectory(QString::fromStdString(dir_.Path().string()));
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
        static_cast<QDialog*>(d)->accept();
    }
    std::optional<std::string> Run() {
        fw::FileDialogRequest request;
        request.save = true;
        request.defaultExt = "txt";
        request.flags = fw::OFN_HIDEREADONLY | fw::OFN_CREATEPROMPT;
        return fw::RunFileDialog(request);
    }

    desktoptest::LanguageScope language_;
    fw::qt::CQtDialogHost host_;
    testsupport::TempDir dir_;
    desktoptest::ModalScript script_;
};

TEST_P(CreatePrompt, NoReturnsToTheChooserAndYesTakesTheNewName) {
    std::vector<std::string> asked;
    QFileDialog* first = nullptr;
    bool sameChooser = false;
    script_.When<QFileDialog>([&](QFileDialog* d) { Choose(first = d, "new-log"); });
    script_.When<QMessageBox>([&](QMessageBox* box) {
        asked.push_back(box->text().toStdString());
        box->button(QMessageBox::No)->click();
    });
    script_.When<QFileDialog>([&](QFileDialog* d) {
        sameChooser = d == first;
        Choose(d, "new-log");
    });
    script_.When<QMessageBox>([&](QMessageBox* box) {
        asked.push_back(box->text().toStdString());
        box->button(QMessageBox::Yes)->click();
    });
    const auto path = Run();
    const std::filesystem::path expected = dir_.Path() / "new-log.txt";
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(std::filesystem::path(*path), expected);
    EXPECT_TRUE(sameChooser);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], expected.string() + "\n" + GetParam().question);
    EXPECT_FALSE(std::filesystem::exists(expected));  // the chooser only names it

    std::ofstream(dir_.Path() / "old-log.txt") << "x";
    script_.When<QFileDialog>([&](QFileDialog* d) { Choose(d, "old-log"); });
    EXPECT_EQ(std::filesystem::path(Run().value_or("")), dir_.Path() / "old-log.txt");
    EXPECT_EQ(asked.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    BothLanguages, CreatePrompt,
    ::testing::Values(Case{fw::Language::English, "This file does not exist.\nCreate the file?"},
                      Case{fw::Language::Chinese, "此文件不存在。\n要创建该文件吗？"}),
    [](const ::testing::TestParamInfo<Case>& info) {
        return info.param.language == fw::Language::Chinese ? "Chinese" : "English";
    });

}  // namespace
