// The scripted window's radio groups, drop-down list and static looks.
#include <gtest/gtest.h>

#include "ChoiceDialog.h"
#include "framework/ComboBox.h"
#include "framework/HeadlessWindow.h"

namespace {

using namespace testsupport::choice;
using Commands = std::vector<fw::WPARAM>;

class HeadlessControls : public ::testing::Test {
protected:
    fw::CMessageLoop loop;
    CommandLog window;
    fw::CHeadlessWindow site{loop, window, ChoiceDialog()};
};

TEST_F(HeadlessControls, ARadioIsCheckedAloneInItsGroupAndAClickReachesTheWindow) {
    ASSERT_TRUE(site.Click(kJobSave));
    ASSERT_TRUE(site.Click(kSpeedFast));
    ASSERT_TRUE(site.Click(kJobErase));
    EXPECT_EQ(site.Check(kJobSave), 0);
    EXPECT_EQ(site.Check(kJobErase), 1);
    EXPECT_EQ(site.Check(kSpeedFast), 1);  // another group
    EXPECT_EQ(window.commands, (Commands{kJobSave, kSpeedFast, kJobErase}));
    EXPECT_TRUE(SystemChecksAreSilent(window));
}

TEST_F(HeadlessControls, ADropDownKeepsItsTextWhenFilledAndTellsOfChoiceAndTyping) {
    fw::CComboBox ports;
    ports.Bind(&window, kPorts);
    ports.SetItems({"COM1", "COM3"});
    EXPECT_EQ(site.Items(kPorts), ports.GetItems());
    EXPECT_EQ(site.Text(kPorts), "COM9");
    ASSERT_TRUE(site.Choose(kPorts, 1));
    ASSERT_TRUE(site.Type(kPorts, "COM7"));
    EXPECT_FALSE(site.Choose(kPorts, 2));
    EXPECT_EQ(window.commands, (Commands{fw::MAKEWPARAM(kPorts, fw::CBN_SELCHANGE),
                                         fw::MAKEWPARAM(kPorts, fw::CBN_EDITCHANGE)}));
    EXPECT_EQ(window.portText, (std::vector<std::string>{"COM3", "COM7"}));
}

TEST_F(HeadlessControls, ADropDownTellsTheWindowBeforeItsListShows) {
    FillPortsOnDropDown(window, {"COM2", "COM10"});
    ASSERT_TRUE(site.DropDown(kPorts));
    EXPECT_EQ(window.commands, (Commands{fw::MAKEWPARAM(kPorts, fw::CBN_DROPDOWN)}));
    EXPECT_EQ(site.Items(kPorts), (std::vector<std::string>{"COM2", "COM10"}));
    EXPECT_EQ(site.Text(kPorts), "COM9");
    EXPECT_FALSE(site.DropDown(kSecret));
    site.EnableControl(kPorts, false);
    EXPECT_FALSE(site.DropDown(kPorts));
    EXPECT_EQ(window.commands.size(), 1u);
}

TEST_F(HeadlessControls, APasswordKeepsTheTextAsTyped) {
    ASSERT_TRUE(site.Type(kSecret, "s3cret"));
    EXPECT_EQ(window.GetDlgItemBytes(kSecret), "s3cret");
}

TEST_F(HeadlessControls, AStaticKeepsTheLookTheSystemGaveIt) {
    EXPECT_EQ(site.TextLookOf(kVerdict), nullptr);
    site.SetTextLook(kVerdict, FailedLook());
    site.SetTextLook(kPorts, FailedLook());
    ASSERT_NE(site.TextLookOf(kVerdict), nullptr);
    EXPECT_EQ(site.TextLookOf(kVerdict)->heightTwips, 480);
    EXPECT_EQ(site.TextLookOf(kVerdict)->backgroundRgb, 0xC00000u);
    EXPECT_EQ(site.TextLookOf(kPorts), nullptr);  // statics only
}

}  // namespace
