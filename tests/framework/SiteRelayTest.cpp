#include <gtest/gtest.h>

#include "framework/HeadlessWindow.h"
#include "framework/MessageLoop.h"
#include "framework/SiteRelay.h"
#include "res/ResourceIds.h"

namespace {

// Calls through the relay reach the headless window behind it.
TEST(SiteRelay, HandsItsCallsOnToItsTarget) {
    fw::CMessageLoop loop;
    fw::CWnd window;
    fw::CHeadlessWindow target(loop, window, res::IDD_TIRVEL2_FORM, fw::Language::English);
    fw::CSiteRelay relay(&target);
    const int pane = res::IDC_LOG_PANE;

    relay.SetControlText(pane, "one");
    relay.AppendControlText(pane, " two");
    EXPECT_EQ(target.Text(pane), "one two");
    EXPECT_EQ(relay.GetControlText(pane), "one two");
    relay.ShowControl(pane, fw::SW_HIDE);
    EXPECT_FALSE(target.Visible(pane));
    EXPECT_FALSE(relay.IsControlVisible(pane));
    relay.FocusControl(pane);
    EXPECT_EQ(target.Focus(), pane);
    const int modify = res::IDC_ITEM_MODIFY_BASE + 1;
    relay.SetControlCheck(modify, 1);
    EXPECT_EQ(target.Check(modify), 1);
    EXPECT_EQ(relay.GetControlCheck(modify), 1);
    relay.SetTextLook(res::IDC_IMEI_CAPTION, fw::TextLook{});
    EXPECT_NE(target.TextLookOf(res::IDC_IMEI_CAPTION), nullptr);

    target.onMessageBox = [](const fw::RecordedMessageBox&) { return fw::IDCANCEL; };
    EXPECT_EQ(relay.MessageBoxById(1, 2, fw::MB_OKCANCEL, {"x"}), fw::IDCANCEL);
    ASSERT_EQ(target.MessageBoxes().size(), 1u);
    EXPECT_EQ(target.MessageBoxes()[0].args, fw::MessageArgs{"x"});

    EXPECT_EQ(relay.SetTimer(5, 10), 5u);
    EXPECT_TRUE(loop.HasTimer(&window, 5));
    EXPECT_TRUE(relay.KillTimer(5));
    EXPECT_FALSE(loop.HasTimer(&window, 5));
}

TEST(SiteRelay, WithoutATargetItAnswersAsAWindowWithoutControls) {
    fw::CSiteRelay relay;
    EXPECT_EQ(relay.Target(), nullptr);
    relay.ShowControl(1, fw::SW_SHOW);
    relay.EnableControl(1, true);
    relay.FocusControl(1);
    relay.SetControlText(1, "text");
    relay.AppendControlText(1, "more");
    relay.SetControlCheck(1, 1);
    relay.SetRichEditLook(1, fw::RichEditLook{});
    relay.SetControlSizePixels(1, 2, 3);
    relay.SetProgressRange(1, 0, 10);
    relay.SetProgressPos(1, 5);
    relay.SetControlItems(1, {"item"});
    relay.SetTextLook(1, fw::TextLook{});
    relay.PostMessage(fw::WM_USER, 0, 0);
    EXPECT_FALSE(relay.IsControlVisible(1));
    EXPECT_FALSE(relay.IsControlEnabled(1));
    EXPECT_EQ(relay.GetControlText(1), "");
    EXPECT_EQ(relay.GetControlCheck(1), 0);
    EXPECT_EQ(relay.MessageBoxById(1, 2, fw::MB_OKCANCEL, {}), fw::IDOK);
    EXPECT_EQ(relay.SetTimer(1, 10), 0u);
    EXPECT_FALSE(relay.KillTimer(1));
}

}  // namespace
