// What the app's tests share: a dialog host that answers file choosers from a
// list and shows every other dialog for real, a waiting loop that keeps Qt's
// events flowing, and a fixture with the app's settings in a temporary place.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DesktopSupport.h"
#include "SimProcess.h"
#include "app/core/RecentFileList.h"
#include "app/core/Tirvel2Doc.h"
#include "app/qt/MainFrameWindow.h"
#include "app/qt/SettingsRecentFileStore.h"
#include "framework/qt/QtDialogHost.h"
#include "framework/qt/QtFormView.h"

namespace apptest {

class AnsweringDialogHost : public fw::IDialogHost {
public:
    int RunModal(fw::CDialog& dialog, fw::CWnd* parent) override {
        return real_.RunModal(dialog, parent);
    }
    std::optional<std::string> RunFileDialog(const fw::FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) {
            return std::nullopt;
        }
        std::optional<std::string> answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<std::optional<std::string>> answers;
    std::vector<fw::FileDialogRequest> requests;

private:
    fw::qt::CQtDialogHost real_;
};

// Pumps Qt's events until the condition holds or the time is up.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString((dir.Path() / "settings").string()));
        fw::SetDialogHost(&dialogs);
        recentFiles = std::make_unique<app::CRecentFileList>(recentFileStore);
        document = std::make_unique<app::CTirvel2Doc>(*recentFiles);
    }
    void TearDown() override {
        frame.reset();
        fw::SetDialogHost(nullptr);
    }

    // A fresh main window in the language, as the app builds it.
    app::CMainFrameWindow& OpenFrame(fw::Language language = fw::Language::English) {
        frame.reset();
        language_.reset();  // the earlier scope restores its language before the next sets one
        language_ = std::make_unique<desktoptest::LanguageScope>(language);
        frame = std::make_unique<app::CMainFrameWindow>(*document, language);
        frame->show();
        return *frame;
    }

    std::string ControlText(int id) const { return frame->FormView()->GetControlText(id); }
    // A button of the form clicked as the operator does: it must be there,
    // shown and enabled.
    void Click(int id) {
        auto* button = qobject_cast<QPushButton*>(frame->FormView()->Control(id));
        ASSERT_NE(button, nullptr) << id;
        ASSERT_TRUE(button->isVisible()) << id;
        ASSERT_TRUE(button->isEnabled()) << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    testsupport::TempDir dir;
    AnsweringDialogHost dialogs;
    app::CSettingsRecentFileStore recentFileStore;
    std::unique_ptr<app::CRecentFileList> recentFiles;
    std::unique_ptr<app::CTirvel2Doc> document;
    std::unique_ptr<desktoptest::LanguageScope> language_;
    std::unique_ptr<app::CMainFrameWindow> frame;
};

}  // namespace apptest
