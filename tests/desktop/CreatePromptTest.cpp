// A save chooser with OFN_CREATEPROMPT asks before it names a file that does
// not exist yet; No goes back to the chooser.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>

#include "DesktopSupport.h"
#include "TempDir.h"
#include "framework/qt/QtDialogHost.h"

TEST(CreatePrompt, NoGoesBackToTheChooserAndYesTakesTheNewName) {
    fw::qt::CQtDialogHost host;
    fw::SetDialogHost(&host);
    testsupport::TempDir dir;
    const std::string path = (dir.Path() / "new-log.txt").string();
    fw::FileDialogRequest request;
    request.save = true;
    request.defaultExt = "txt";
    request.flags = fw::OFN_HIDEREADONLY | fw::OFN_CREATEPROMPT;
    for (const auto& [language, question] :
         {std::pair{fw::Language::English, "This file does not exist.\nCreate the file?"},
          std::pair{fw::Language::Chinese, "此文件不存在。\n要创建该文件吗？"}}) {
        desktoptest::LanguageScope scope(language);
        std::vector<std::string> asked;
        const auto choose = [&](QFileDialog* d) {
            d->setDirectory(QString::fromStdString(dir.Path().string()));
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("new-log");
            static_cast<QDialog*>(d)->accept();  // as its Save button does
        };
        const auto answer = [&](QMessageBox::StandardButton button) {
            return [&asked, button](QMessageBox* box) {
                asked.push_back(box->text().toStdString());
                box->button(button)->click();
            };
        };
        desktoptest::ModalScript script;
        script.When<QFileDialog>(choose);
        script.When<QMessageBox>(answer(QMessageBox::No));
        script.When<QFileDialog>(choose);
        script.When<QMessageBox>(answer(QMessageBox::Yes));
        EXPECT_EQ(fw::RunFileDialog(request), path);
        EXPECT_EQ(asked, std::vector<std::string>(2, path + "\n" + question));
        EXPECT_FALSE(std::filesystem::exists(path));  // the chooser only names it
    }
    fw::SetDialogHost(nullptr);
}
