#include <gtest/gtest.h>

#include "ScriptedDialogs.h"
#include "framework/DataExchange.h"
#include "framework/Dialog.h"
#include "res/ResourceIds.h"

namespace {

class TextDialog : public fw::CDialog {
public:
    TextDialog() : fw::CDialog(res::IDD_PASSWORD) {}
    std::string text;

protected:
    void DoDataExchange(fw::CDataExchange* pDX) override {
        fw::DDX_Text(pDX, res::IDC_PASSWORD, text);
    }
};

TEST(Dialog, OkExchangesTheTypedTextIntoTheMember) {
    fw::CMessageLoop loop;
    testsupport::ScriptedDialogs dialogs(loop);
    dialogs.Expect({res::IDD_PASSWORD, {{res::IDC_PASSWORD, "s3cret"}}, fw::IDOK});
    TextDialog dialog;
    dialog.text = "shown first";
    EXPECT_EQ(dialog.DoModal(), fw::IDOK);
    EXPECT_EQ(dialog.text, "s3cret");
    ASSERT_EQ(dialogs.Shown().size(), 1u);
    EXPECT_EQ(dialogs.Shown()[0].initialText.at(res::IDC_PASSWORD), "shown first");
}

TEST(Dialog, CancelLeavesTheMemberAlone) {
    fw::CMessageLoop loop;
    testsupport::ScriptedDialogs dialogs(loop);
    dialogs.Expect({res::IDD_PASSWORD, {{res::IDC_PASSWORD, "typed"}}, fw::IDCANCEL});
    TextDialog dialog;
    EXPECT_EQ(dialog.DoModal(), fw::IDCANCEL);
    EXPECT_EQ(dialog.text, "");
}

TEST(Dialog, UnscriptedDialogIsCancelledAndNoted) {
    fw::CMessageLoop loop;
    testsupport::ScriptedDialogs dialogs(loop);
    dialogs.Expect({res::IDD_SETTINGS, {}, fw::IDOK});
    TextDialog dialog;
    EXPECT_EQ(dialog.DoModal(), fw::IDCANCEL);
    EXPECT_EQ(dialogs.Unexpected(), 1);
    EXPECT_EQ(dialogs.Pending(), 1u);
}

TEST(Dialog, WithoutAHostNothingIsShown) {
    TextDialog dialog;
    EXPECT_EQ(dialog.DoModal(), -1);
}

}  // namespace
