// The scripted window's radio groups, drop-down lists and static looks, on a
// small template of the test's own.
#include <gtest/gtest.h>

#include <vector>

#include "framework/ComboBox.h"
#include "framework/HeadlessWindow.h"

namespace {

using fw::ControlKind;

constexpr int kVerdict = 10;
constexpr int kJobLoad = 11;
constexpr int kJobSave = 12;
constexpr int kJobErase = 13;
constexpr int kPorts = 14;
constexpr int kSpeedSlow = 15;
constexpr int kSpeedFast = 16;

fw::DialogTemplate StationLikeTemplate() {
    fw::DialogTemplate t;
    t.width = 200;
    t.height = 120;
    t.controls = {
        {kVerdict, ControlKind::Static, 0, {5, 5, 60, 20}, "--"},
        {kJobLoad, ControlKind::RadioButton, fw::kGroup | fw::kTabStop, {5, 30, 50, 10}, "Load"},
        {kJobSave, ControlKind::RadioButton, 0, {5, 42, 50, 10}, "Save"},
        {kJobErase, ControlKind::RadioButton, 0, {5, 54, 50, 10}, "Erase"},
        {kPorts, ControlKind::ComboBox, fw::kGroup | fw::kTabStop, {70, 30, 60, 80}, "COM9"},
        {kSpeedSlow, ControlKind::RadioButton, fw::kGroup, {140, 30, 50, 10}, "Slow"},
        {kSpeedFast, ControlKind::RadioButton, 0, {140, 42, 50, 10}, "Fast"},
    };
    return t;
}

class RecordingWnd : public fw::CWnd {
public:
    fw::LRESULT WindowProc(fw::UINT message, fw::WPARAM wParam, fw::LPARAM) override {
        if (message == fw::WM_COMMAND) {
            commands.push_back(wParam);
        }
        return 0;
    }
    std::vector<fw::WPARAM> commands;
};

class HeadlessControls : public ::testing::Test {
protected:
    ~HeadlessControls() override { window.AttachSite(nullptr); }

    fw::CMessageLoop loop;
    RecordingWnd window;
    fw::CHeadlessWindow site{loop, window, StationLikeTemplate()};
};

TEST(DialogTemplateGroups, ARadioGroupRunsFromOneGroupStartToTheNext) {
    const fw::DialogTemplate t = StationLikeTemplate();
    EXPECT_EQ(t.RadioGroup(kJobSave), (std::vector<int>{kJobLoad, kJobSave, kJobErase}));
    EXPECT_EQ(t.RadioGroup(kSpeedSlow), (std::vector<int>{kSpeedSlow, kSpeedFast}));
    EXPECT_TRUE(t.RadioGroup(kPorts).empty());
    EXPECT_TRUE(t.RadioGroup(999).empty());
}

TEST_F(HeadlessControls, AClickedRadioChecksItselfAloneInItsGroupAndTellsTheWindow) {
    ASSERT_TRUE(site.Click(kJobSave));
    ASSERT_TRUE(site.Click(kSpeedFast));
    ASSERT_TRUE(site.Click(kJobErase));
    EXPECT_EQ(site.Check(kJobLoad), 0);
    EXPECT_EQ(site.Check(kJobSave), 0);
    EXPECT_EQ(site.Check(kJobErase), 1);
    // The other group keeps its choice.
    EXPECT_EQ(site.Check(kSpeedFast), 1);
    EXPECT_EQ(window.commands, (std::vector<fw::WPARAM>{kJobSave, kSpeedFast, kJobErase}));
    EXPECT_EQ(fw::HIWORD(window.commands[0]), fw::BN_CLICKED);

    site.EnableControl(kJobLoad, false);
    EXPECT_FALSE(site.Click(kJobLoad));
    EXPECT_EQ(site.Check(kJobErase), 1);
}

TEST_F(HeadlessControls, CheckingARadioFromTheSystemUnchecksItsGroupSilently) {
    window.CheckDlgButton(kJobLoad, 1);
    window.CheckDlgButton(kSpeedSlow, 1);
    window.CheckDlgButton(kJobSave, 1);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobLoad), 0);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobSave), 1);
    EXPECT_EQ(window.IsDlgButtonChecked(kSpeedSlow), 1);
    window.CheckDlgButton(kJobSave, 0);
    EXPECT_EQ(window.IsDlgButtonChecked(kJobSave), 0);
    EXPECT_TRUE(window.commands.empty());
}

TEST_F(HeadlessControls, ADropDownKeepsItsTextWhenFilledAndTellsOfChoiceAndTyping) {
    fw::CComboBox ports;
    ports.Bind(&window, kPorts);
    ports.SetItems({"COM1", "COM3", "COM12"});
    EXPECT_EQ(site.Items(kPorts), (std::vector<std::string>{"COM1", "COM3", "COM12"}));
    EXPECT_EQ(ports.GetCount(), 3);
    EXPECT_EQ(site.Text(kPorts), "COM9");
    EXPECT_TRUE(window.commands.empty());

    ASSERT_TRUE(site.Choose(kPorts, 1));
    EXPECT_EQ(window.GetDlgItemBytes(kPorts), "COM3");
    ASSERT_TRUE(site.Type(kPorts, "COM7"));
    EXPECT_EQ(window.GetDlgItemBytes(kPorts), "COM7");
    EXPECT_EQ(window.commands,
              (std::vector<fw::WPARAM>{fw::MAKEWPARAM(kPorts, fw::CBN_SELCHANGE),
                                       fw::MAKEWPARAM(kPorts, fw::CBN_EDITCHANGE)}));
    EXPECT_FALSE(site.Choose(kPorts, 3));
    EXPECT_FALSE(site.Choose(kVerdict, 0));

    ports.SetItems({});
    EXPECT_TRUE(site.Items(kPorts).empty());
    EXPECT_EQ(site.Text(kPorts), "COM7");
}

TEST_F(HeadlessControls, AStaticKeepsTheLookTheSystemGaveIt) {
    EXPECT_EQ(site.TextLookOf(kVerdict), nullptr);
    fw::TextLook failed;
    failed.heightTwips = 480;
    failed.bold = true;
    failed.textRgb = 0xFFFFFF;
    failed.hasBackground = true;
    failed.backgroundRgb = 0xC00000;
    site.SetTextLook(kVerdict, failed);
    const fw::TextLook* look = site.TextLookOf(kVerdict);
    ASSERT_NE(look, nullptr);
    EXPECT_EQ(look->heightTwips, 480);
    EXPECT_TRUE(look->bold);
    EXPECT_EQ(look->textRgb, 0xFFFFFFu);
    EXPECT_TRUE(look->hasBackground);
    EXPECT_EQ(look->backgroundRgb, 0xC00000u);
    // Only static texts take a look.
    site.SetTextLook(kPorts, failed);
    EXPECT_EQ(site.TextLookOf(kPorts), nullptr);
}

}  // namespace
