// Modify, Restore and the COM port setting against the simulated device; what
// the device stored is read from its own events log.
#include <gtest/gtest.h>

#include "TempConfigHome.h"
#include "Workbench.h"
#include "form/ControlIds.h"
#include "protocol/AtExchange.h"
#include "res/ResourceIds.h"

using testsupport::Workbench;

namespace {

TEST(Modify, WritesTheTickedRowsAndShowsTheDevicesValues) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.TypeAndTick(2, "internet.m2m"));
    ASSERT_TRUE(bench.TypeAndTick(6, "8080"));
    bench.window.Type(ItemNewId(7), "1");  // typed but not ticked: not sent
    bench.Command(res::ID_MODIFY);
    EXPECT_EQ(bench.StoredItems(), (std::vector<int>{2, 6}));
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_SET_SUCCEEDED});
    EXPECT_EQ(bench.window.Text(ItemCurrentId(2)), "internet.m2m");
    EXPECT_EQ(bench.window.Text(ItemCurrentId(6)), "8080");
    // New values and ticks survive, so a second Modify sends the same again.
    EXPECT_EQ(bench.window.Check(ItemModifyId(2)), 1);
    bench.Command(res::ID_MODIFY);
    EXPECT_EQ(bench.StoredItems(), (std::vector<int>{2, 6, 2, 6}));
}

TEST(Modify, WithNothingTickedSendsNothingAndSucceeds) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    bench.Command(res::ID_MODIFY);
    EXPECT_TRUE(bench.StoredItems().empty());
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_SET_SUCCEEDED});
}

TEST(Modify, StopsAtTheFirstRefusedItem) {
    Workbench bench({"--error-on", "6"});
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.ModifySampleRows());
    EXPECT_EQ(bench.StoredItems(), std::vector<int>{2});
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_SET_FAILED});
    // The re-read shows what the device really holds.
    EXPECT_EQ(bench.window.Text(ItemCurrentId(6)), "5001");
    EXPECT_EQ(bench.window.Text(ItemCurrentId(11)), "60");
}

TEST(Modify, OnlyRowsUpToTheItemCountAreSent) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    ASSERT_EQ(g_nItemCount, 40);
    ASSERT_TRUE(bench.TypeAndTick(45, "x"));
    bench.Command(res::ID_MODIFY);
    EXPECT_TRUE(bench.StoredItems().empty());
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_SET_SUCCEEDED});
}

// A stop raised from another thread (tirvelctl's Ctrl+C) while the posted
// Stop cannot yet be taken: Modify and Restore begin no write, and say nothing.
TEST(Modify, ARaisedStopLetsNoWriteBegin) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.TypeAndTick(2, "internet.m2m"));
    bench.view.m_bStopRaised = true;
    bench.Command(res::ID_MODIFY);
    bench.Command(res::ID_RESTORE);
    EXPECT_TRUE(bench.StoredItems().empty());
    EXPECT_TRUE(bench.Events("restore").empty());
    EXPECT_TRUE(bench.window.MessageBoxTexts().empty());
}

TEST(Modify, AValueWithALineBreakIsNotSent) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.TypeAndTick(2, "internet.m2m"));
    // From an imported file, say: a second command hidden in a value.
    bench.view.UpdateData(true);
    bench.view.SetItemNewValue(5, "evil.example\rAT+RESTORE");
    bench.view.SetItemModify(5, 1);
    bench.view.UpdateData(false);
    ASSERT_TRUE(bench.TypeAndTick(6, "8080"));
    bench.Command(res::ID_MODIFY);
    EXPECT_EQ(bench.StoredItems(), std::vector<int>{2});
    EXPECT_TRUE(bench.Events("restore").empty());
    ASSERT_EQ(bench.window.MessageBoxes().size(), 1u);
    EXPECT_EQ(bench.window.MessageBoxes()[0].textId, res::IDS_VALUE_NOT_SENDABLE);
    EXPECT_EQ(bench.window.MessageBoxes()[0].args, fw::MessageArgs{"5"});
}

// Typed text goes out in the device's code page (Windows-1252 for an English
// window here). A character it lacks would arrive as '?', and the read-back
// would then show the '?' that was sent: such a Modify writes nothing at all.
TEST(Modify, AValueTheCodePageCannotCarryIsNotSent) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.TypeAndTick(2, "internet.m2m"));
    ASSERT_TRUE(bench.TypeAndTick(12, "心跳"));
    bench.Command(res::ID_MODIFY);
    EXPECT_TRUE(bench.StoredItems().empty());
    ASSERT_EQ(bench.window.MessageBoxes().size(), 1u);
    EXPECT_EQ(bench.window.MessageBoxes()[0].textId, res::IDS_VALUE_NOT_ENCODABLE);
    EXPECT_EQ(bench.window.MessageBoxes()[0].args, fw::MessageArgs{"12"});
    // What the code page has is sent as its bytes.
    bench.window.ClearMessageBoxes();
    ASSERT_TRUE(bench.TypeAndTick(12, "Café"));
    bench.Command(res::ID_MODIFY);
    EXPECT_EQ(bench.StoredItems(), (std::vector<int>{2, 12}));
    ASSERT_EQ(bench.Events("set").size(), 2u);
    EXPECT_EQ(bench.Events("set")[1]["new"], "436166E9");
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_SET_SUCCEEDED});
}

TEST(Restore, ReturnsToFactoryValuesAndShowsThemFirst) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    ASSERT_TRUE(bench.TypeAndTick(2, "internet.m2m"));
    bench.Command(res::ID_MODIFY);
    bench.window.ClearMessageBoxes();
    std::string shownAtMessage;
    bench.window.onMessageBox = [&](const testsupport::RecordedMessageBox&) {
        shownAtMessage = bench.window.Text(ItemCurrentId(2));
        return fw::IDOK;
    };
    bench.Command(res::ID_RESTORE);
    EXPECT_EQ(bench.Events("restore").size(), 1u);
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_RESTORE_SUCCEEDED});
    EXPECT_EQ(shownAtMessage, "CMNET");
}

TEST(Restore, UnansweredRestoreFails) {
    Workbench bench;
    ASSERT_TRUE(bench.Connect());
    // Stop behind the view's back: the device has left configuration mode.
    SendAtCommand(bench.view.m_hComPort, "AT+QUIT\r", kShortReplyLimit);
    bench.Command(res::ID_RESTORE);
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_RESTORE_FAILED});
    EXPECT_TRUE(bench.Events("restore").empty());
}

TEST(Settings, AcceptsOneTo255AndRefusesTheRest) {
    Workbench bench;
    using testsupport::DialogAnswer;
    // 0, 256 and text are refused with the framework's prompt; the dialog stays.
    bench.dialogs.Expect({res::IDD_SETTINGS, {{res::IDC_COM_PORT, "0"}}, fw::IDOK});
    bench.dialogs.Expect({res::IDD_SETTINGS, {{res::IDC_COM_PORT, "256"}}, fw::IDOK});
    bench.dialogs.Expect({res::IDD_SETTINGS, {{res::IDC_COM_PORT, "COM3"}}, fw::IDOK});
    bench.dialogs.Expect({res::IDD_SETTINGS, {{res::IDC_COM_PORT, "255"}}, fw::IDOK});
    bench.Command(res::ID_SETTINGS);
    EXPECT_EQ(bench.view.m_nComPort, 255);
    ASSERT_EQ(bench.dialogs.Shown().size(), 1u);
    const auto& shown = bench.dialogs.Shown()[0];
    EXPECT_EQ(shown.initialText.at(res::IDC_COM_PORT), "1");
    ASSERT_EQ(shown.messageBoxes.size(), 3u);
    EXPECT_EQ(shown.messageBoxes[0].textId, fw::AFX_IDP_PARSE_INT_RANGE);
    EXPECT_EQ(shown.messageBoxes[0].args, (fw::MessageArgs{"1", "255"}));
    EXPECT_EQ(shown.messageBoxes[1].textId, fw::AFX_IDP_PARSE_INT_RANGE);
    EXPECT_EQ(shown.messageBoxes[2].textId, fw::AFX_IDP_PARSE_UINT);

    // Cancel changes nothing.
    bench.dialogs.Expect({res::IDD_SETTINGS, {{res::IDC_COM_PORT, "7"}}, fw::IDCANCEL});
    bench.Command(res::ID_SETTINGS);
    EXPECT_EQ(bench.view.m_nComPort, 255);
}

TEST(Settings, TheNextStartOpensTheChosenComNumber) {
    Workbench bench;
    testsupport::TempConfigHome config;
    std::filesystem::create_directories(config.Path() / "tirvel" / "ports");
    std::filesystem::create_symlink(bench.sim.PtyPath(), config.Path() / "tirvel/ports/com255");

    bench.view.m_strDevicePath.clear();
    bench.dialogs.Expect({res::IDD_SETTINGS, {{res::IDC_COM_PORT, "255"}}, fw::IDOK});
    bench.Command(res::ID_SETTINGS);
    EXPECT_TRUE(bench.Connect());
    bench.Command(res::ID_STOP_CONFIG);
}

}  // namespace
