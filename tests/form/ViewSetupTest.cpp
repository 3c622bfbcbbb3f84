#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FormViewTest.h"
#include "LanguageForTheTest.h"
#include "ScriptedDialogs.h"
#include "ScriptedWindow.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "form/ControlIds.h"
#include "form/MainFrame.h"
#include "form/Tirvel2View.h"
#include "framework/StringTable.h"

namespace {

using testsupport::ReadFile;

namespace fs = std::filesystem;

class ViewSetup : public testsupport::FormViewTest {
protected:
    void SetUp() override { view_.UpdateData(false); }  // binds the panes
    void TearDown() override { AfxSetMainFrame(nullptr); }

    std::string Log() const { return window_.Text(res::IDC_LOG_PANE); }
    void Save(std::optional<fs::path> path) {
        dialogs_.ExpectFile(path ? std::optional(path->string()) : std::nullopt);
        view_.OnSaveLog();
    }
};

TEST_F(ViewSetup, InitialUpdateDressesTheForm) {
    CMainFrame frame;
    frame.SetConnectionState(kStateConnected);
    AfxSetMainFrame(&frame);
    for (int id : {res::IDC_IMEI, res::IDC_VERSION, res::IDC_IMEI_CAPTION, res::IDC_HELP_PANE}) {
        window_.ShowControl(id, fw::SW_HIDE);
    }
    window_.ShowControl(res::IDC_LOG_PANE, fw::SW_SHOW);

    view_.OnInitialUpdate();
    EXPECT_EQ(frame.ConnectionState(), kStateIdle);
    EXPECT_EQ(frame.View(), &view_);
    for (int id : {res::IDC_EXPORT_CONFIG, res::IDC_IMPORT_CONFIG, res::IDC_TEMPLATE_CONFIG,
                   res::IDC_CLEAR_CONFIG}) {
        EXPECT_FALSE(window_.Enabled(id)) << id;
    }
    for (int id : {res::IDC_IMEI, res::IDC_VERSION, res::IDC_VERSION_CAPTION, res::IDC_IMEI_CAPTION,
                   res::IDC_HELP_PANE}) {
        EXPECT_TRUE(window_.Visible(id)) << id;
    }
    for (int id : {res::IDC_LOG_PANE, res::IDC_CLEAR_LOG, res::IDC_SAVE_LOG}) {
        EXPECT_FALSE(window_.Visible(id)) << id;
    }
    EXPECT_EQ(window_.Text(res::IDC_HELP_PANE), fw::LoadString(res::IDS_HELP_TEXT));
    for (int id : {res::IDC_HELP_PANE, res::IDC_LOG_PANE}) {
        const fw::RichEditLook* look = window_.Look(id);
        ASSERT_NE(look, nullptr) << id;
        EXPECT_TRUE(look->readOnly && look->backgroundRgb == 0 && look->textRgb == 0xFFFFFF &&
                    look->heightTwips == 250 && look->faceName == "MS Sans Serif")
            << id;
    }
    EXPECT_EQ(window_.Focus(), ItemNewId(1));
    EXPECT_EQ(window_.Text(ItemLabelId(1)), "1. Item1");
    EXPECT_EQ(window_.Text(ItemLabelId(60)), "60. Item60");
}

TEST_F(ViewSetup, BackspaceChunksEraseOneCharacter) {
    view_.AppendToLog("");
    view_.AppendToLog("\b");
    EXPECT_EQ(Log(), "");
    view_.AppendToLog("AB");
    view_.AppendToLog("\b");
    EXPECT_EQ(Log(), "A");
    view_.AppendToLog("X");
    view_.AppendToLog("\b \b");  // one character goes, the rest of the chunk too
    EXPECT_EQ(Log(), "A");
    view_.AppendToLog("cd\0ef");
    EXPECT_EQ(view_.m_ctrlLog.GetTextBytes(), "Acd");

    fw::SetLanguage(fw::Language::Chinese);
    view_.AppendToLog("\xC5\xE4");  // one GB18030 character
    EXPECT_EQ(Log(), "Acd配");
    view_.AppendToLog("\b");
    EXPECT_EQ(view_.m_ctrlLog.GetTextBytes(), "Acd");
}

// What a follower is told, one entry per call: the bytes, or "<erase>".
struct RecordingFollower : CLogFollower {
    std::vector<std::string> calls;
    void Append(std::string_view bytes) override { calls.emplace_back(bytes); }
    void EraseLastCharacter() override { calls.emplace_back("<erase>"); }
};

TEST_F(ViewSetup, AFollowerTakesTheLogInThePanesPlace) {
    RecordingFollower follower;
    view_.m_pLogFollower = &follower;
    view_.AppendToLog("AB");
    view_.AppendToLog("\b \b");
    view_.AppendToLog("");
    view_.AppendToLog("cd\0ef");
    view_.m_pLogFollower = nullptr;
    EXPECT_EQ(follower.calls, (std::vector<std::string>{"AB", "<erase>", "cd"}));
    EXPECT_TRUE(view_.m_ctrlLog.IsEmpty());
    EXPECT_EQ(Log(), "");
}

TEST_F(ViewSetup, ClearEmptiesAndSizesThePane) {
    view_.OnClearLog();
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(window_.SizePixels(res::IDC_LOG_PANE), std::make_pair(680, 500));
    view_.AppendToLog("text");
    view_.OnClearLog();
    EXPECT_EQ(Log(), "");
    EXPECT_TRUE(view_.m_ctrlLog.IsEmpty());
}

TEST_F(ViewSetup, SaveWritesThePaneBytes) {
    const fs::path path = dir_.Path() / "log.txt";
    Save(path);
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);

    std::ofstream(path, std::ios::binary) << std::string(1000, 'o');
    const std::string bytes = "a\x81\xFF\r\nb\n";
    view_.AppendToLog(bytes.c_str());
    Save(path);
    EXPECT_EQ(ReadFile(path), bytes);

    view_.AppendToLog("more");
    Save(std::nullopt);
    EXPECT_EQ(ReadFile(path), bytes);
    EXPECT_TRUE(window_.MessageBoxes().empty());

    const auto& request = dialogs_.FileRequests().at(0);
    EXPECT_TRUE(request.save && request.flags == 0x2006u && request.parent == nullptr);
    EXPECT_EQ(request.fileName + "." + request.defaultExt, "log.txt");
    EXPECT_EQ(request.filter, "文件类型(*.txt)|*.txt|文件类型(*.ini)|*.ini||");
}

TEST_F(ViewSetup, SaveToAnUnwritablePathReportsIt) {
    std::ofstream(dir_.Path() / "plain") << "x";
    const fs::path path = dir_.Path() / "plain" / "log.txt";
    Save(path);
    ASSERT_EQ(window_.MessageBoxes().size(), 1u);
    EXPECT_EQ(window_.MessageBoxes()[0].textId, res::IDS_WRITE_FILE_FAILED);
    EXPECT_EQ(window_.MessageBoxes()[0].args, fw::MessageArgs{path.string()});
}

}  // namespace
