#include <gtest/gtest.h>

#include <vector>

#include "AppCoreFixture.h"
#include "app/core/DesktopFrame.h"
#include "app/core/RecentFileList.h"
#include "app/core/Tirvel2Doc.h"

namespace {

// A frame without a window: it records what the shell would have done.
class RecordingFrame : public app::CDesktopFrame {
public:
    using CDesktopFrame::CDesktopFrame;
    using CDesktopFrame::StartDocument;
    using CDesktopFrame::Unlink;

    void UpdateCommandUI() override { ++updates; }

    int updates = 0;
    int closes = 0;
    bool printWorks = true;
    int prints = 0;
    std::vector<fw::UINT> sent;

protected:
    void CloseFrame() override { ++closes; }
    bool PrintEmptyPage() override {
        ++prints;
        return printWorks;
    }
    void SendToForm(fw::UINT command) override { sent.push_back(command); }
};

class DesktopFrame : public appcore::ViewFixture {
protected:
    void SetUp() override { frame_.StartDocument(view_); }
    void TearDown() override {
        frame_.Unlink();
        ViewFixture::TearDown();
    }

    app::CRecentFileList recentFiles_{store_};
    app::CTirvel2Doc document_{recentFiles_};
    RecordingFrame frame_{document_};
};

TEST_F(DesktopFrame, StartingTheDocumentLinksTheFrameAndSetsUpTheView) {
    EXPECT_EQ(AfxGetMainFrame(), &frame_);
    EXPECT_EQ(frame_.View(), &view_);
    EXPECT_EQ(frame_.ConnectionState(), kStateIdle);
    // The set-up reported the idle state, and the toolbar followed.
    EXPECT_GT(frame_.updates, 0);

    frame_.Unlink();
    EXPECT_EQ(AfxGetMainFrame(), nullptr);
    EXPECT_EQ(frame_.View(), nullptr);
}

TEST_F(DesktopFrame, EveryStateTheViewReportsBringsTheToolbarUpToDate) {
    const int before = frame_.updates;
    frame_.SetConnectionState(kStateConnected);
    EXPECT_EQ(frame_.ConnectionState(), kStateConnected);
    EXPECT_EQ(frame_.updates, before + 1);
}

TEST_F(DesktopFrame, TheViewsCommandsReachTheFormOnlyWhereTheStateLetsThem) {
    frame_.OnCommand(res::ID_START_CONFIG);
    frame_.OnCommand(res::ID_MODIFY);
    frame_.SetConnectionState(kStateConnected);
    frame_.OnCommand(res::ID_START_CONFIG);
    frame_.OnCommand(res::ID_MODIFY);
    frame_.OnCommand(res::ID_EDIT_COPY);
    frame_.OnCommand(12345);
    EXPECT_EQ(frame_.sent, (std::vector<fw::UINT>{res::ID_START_CONFIG, res::ID_MODIFY}));
}

// About is in the enabling table like the view's commands: a state that
// disables its button refuses it from a key too.
TEST_F(DesktopFrame, AboutShowsItsBoxInTheStatesThatEnableIt) {
    for (int state : {kStateIdle, kStateConnecting, kStateConnected}) {
        frame_.SetConnectionState(state);
        dialogs_.Expect({res::IDD_ABOUTBOX, {}, fw::IDOK});
        frame_.OnCommand(res::ID_APP_ABOUT);
        EXPECT_EQ(dialogs_.Pending(), 0u) << state;
    }
    for (int state : {kStateAwaitingLoader, kStateDebugLog}) {
        frame_.SetConnectionState(state);
        frame_.OnCommand(res::ID_APP_ABOUT);
    }
    ASSERT_EQ(dialogs_.Shown().size(), 3u);
    for (const testsupport::ShownDialog& shown : dialogs_.Shown()) {
        EXPECT_EQ(shown.templateId, res::IDD_ABOUTBOX);
        EXPECT_EQ(shown.result, fw::IDOK);
    }
    EXPECT_EQ(dialogs_.Unexpected(), 0);
    EXPECT_TRUE(frame_.sent.empty());
}

TEST_F(DesktopFrame, ExitClosesTheFrameInEveryState) {
    for (int state = kStateIdle; state <= kStateDebugLog; ++state) {
        frame_.SetConnectionState(state);
        frame_.OnCommand(res::ID_APP_EXIT);
    }
    EXPECT_EQ(frame_.closes, 6);
    EXPECT_TRUE(frame_.sent.empty());
}

TEST_F(DesktopFrame, OnlyAFailedPrintIsReported) {
    frame_.OnCommand(res::ID_FILE_PRINT);
    EXPECT_TRUE(MessageBoxTexts().empty());
    frame_.printWorks = false;
    frame_.OnCommand(res::ID_FILE_PRINT);
    EXPECT_EQ(frame_.prints, 2);
    EXPECT_EQ(MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_PRINT_FAILED});
}

// The file commands go to the document whatever the state: it stops a
// connection itself before starting afresh.
TEST_F(DesktopFrame, TheFileCommandsGoToTheDocument) {
    frame_.SetConnectionState(kStateDebugLog);
    dialogs_.ExpectFile(std::nullopt);
    dialogs_.ExpectFile(std::nullopt);
    frame_.OnCommand(res::ID_FILE_OPEN);
    frame_.OnCommand(res::ID_FILE_SAVE);
    ASSERT_EQ(dialogs_.FileRequests().size(), 2u);
    EXPECT_FALSE(dialogs_.FileRequests()[0].save);
    EXPECT_TRUE(dialogs_.FileRequests()[1].save);

    view_.SetItemLabel(3, "changed");
    view_.UpdateData(false);
    frame_.SetConnectionState(kStateIdle);
    frame_.OnCommand(res::ID_FILE_NEW);
    EXPECT_EQ(ItemLabel(3), "3. Item3");
    EXPECT_TRUE(frame_.sent.empty());
}

// The edit and pane commands have no handler: a desktop leaves their keys to
// the focused control.
TEST(FocusedControlCommands, AreTheEditAndPaneCommandsOnly) {
    for (fw::UINT command : {res::ID_EDIT_COPY, res::ID_EDIT_CUT, res::ID_EDIT_PASTE,
                             res::ID_EDIT_UNDO, res::ID_NEXT_PANE, res::ID_PREV_PANE}) {
        EXPECT_TRUE(CMainFrame::BelongsToFocusedControl(command)) << command;
        EXPECT_FALSE(CMainFrame::IsCommandEnabledInState(command, kStateIdle)) << command;
    }
    for (fw::UINT command :
         {res::ID_FILE_NEW, res::ID_FILE_OPEN, res::ID_FILE_SAVE, res::ID_FILE_PRINT,
          res::ID_APP_ABOUT, res::ID_APP_EXIT, res::ID_START_CONFIG}) {
        EXPECT_FALSE(CMainFrame::BelongsToFocusedControl(command)) << command;
    }
}

}  // namespace
