#include <gtest/gtest.h>

#include "LanguageForTheTest.h"
#include "ScriptedWindow.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "framework/Language.h"
#include "protocol/AtExchange.h"

namespace {

class ItemTable : public ::testing::Test {
protected:
    testsupport::EnglishForTheTest english_;
    fw::CMessageLoop loop_;
    CTirvel2View view_;
};

TEST_F(ItemTable, ResetLabelsInBothLanguages) {
    testsupport::ScriptedWindow window(loop_, view_, res::IDD_TIRVEL2_FORM);
    view_.ResetItemLabels();
    view_.UpdateData(false);
    EXPECT_EQ(window.Text(ItemLabelId(1)), "1. Item1");
    EXPECT_EQ(window.Text(ItemLabelId(60)), "60. Item60");
    EXPECT_EQ(view_.GetItemLabel(7), "7. Item7");
    for (int n = 1; n <= 60; ++n) {
        EXPECT_EQ(window.Text(ItemCurrentId(n)), "");
        EXPECT_EQ(window.Text(ItemNewId(n)), "");
        EXPECT_EQ(window.Check(ItemModifyId(n)), 0);
    }

    fw::SetLanguage(fw::Language::Chinese);
    view_.ResetItemLabels();
    view_.UpdateData(false);
    EXPECT_EQ(window.Text(ItemLabelId(1)), "1. 配置项1");
    EXPECT_EQ(window.Text(ItemLabelId(60)), "60. 配置项60");
    // The member holds the code page's bytes: 配置项 in GB18030.
    EXPECT_EQ(view_.GetItemLabel(7),
              "7. \xC5\xE4\xD6\xC3\xCF\xEE"
              "7");
}

TEST_F(ItemTable, LabelFormatKeepsTheNameAsGiven) {
    view_.SetItemLabel(12, "abc");
    EXPECT_EQ(view_.GetItemLabel(12), "12. abc");
    view_.SetItemLabel(12, "");
    EXPECT_EQ(view_.GetItemLabel(12), "12. ");
}

TEST_F(ItemTable, ModifyTicksTheBoxAtOnce) {
    testsupport::ScriptedWindow window(loop_, view_, res::IDD_TIRVEL2_FORM);
    view_.SetItemModify(5, 1);
    EXPECT_EQ(window.Check(ItemModifyId(5)), 1);
    EXPECT_EQ(view_.ReadItemModify(5), 1);
    // The operator unticks it; the member follows at the next refresh.
    ASSERT_TRUE(window.Click(ItemModifyId(5)));
    EXPECT_EQ(view_.ReadItemModify(5), 0);
}

TEST_F(ItemTable, MemberAndControlMeetOnlyThroughTheExchange) {
    testsupport::ScriptedWindow window(loop_, view_, res::IDD_TIRVEL2_FORM);
    view_.SetItemNewValue(3, "old");
    view_.UpdateData(false);
    ASSERT_TRUE(window.Type(ItemNewId(3), "typed"));
    // Get returns the member; Read refreshes first.
    EXPECT_EQ(view_.GetItemNewValue(3), "old");
    EXPECT_EQ(view_.ReadItemNewValue(3), "typed");

    // Typing not yet refreshed is replaced when a display exchange runs first.
    ASSERT_TRUE(window.Type(ItemNewId(3), "lost"));
    view_.UpdateData(false);
    EXPECT_EQ(window.Text(ItemNewId(3)), "typed");
}

TEST_F(ItemTable, ShowOperationsCoverTheirControls) {
    testsupport::ScriptedWindow window(loop_, view_, res::IDD_TIRVEL2_FORM);
    view_.ShowAllControls(fw::SW_HIDE);
    for (int n = 1; n <= 60; ++n) {
        for (int id : ItemRowControls(n)) {
            EXPECT_FALSE(window.Visible(id)) << id;
        }
    }
    for (int id : kFormControls) {
        EXPECT_FALSE(window.Visible(id)) << id;
    }
    view_.ShowItemRows(fw::SW_SHOW);
    EXPECT_TRUE(window.Visible(ItemLabelId(1)));
    EXPECT_TRUE(window.Visible(ItemModifyId(60)));
    for (int id : kFormControls) {
        EXPECT_FALSE(window.Visible(id)) << id;
    }
    view_.ShowAllControls(fw::SW_SHOW);
    EXPECT_TRUE(window.Visible(res::IDC_LOG_PANE));
    EXPECT_TRUE(window.Visible(res::IDC_SAVE_LOG));
}

TEST_F(ItemTable, NumbersOutsideTheTableHaveNoRow) {
    testsupport::ScriptedWindow window(loop_, view_, res::IDD_TIRVEL2_FORM);
    for (int n : {0, -1, 61, 1000}) {
        view_.SetItemLabel(n, "x");
        view_.SetItemCurrentValue(n, "x");
        view_.SetItemNewValue(n, "x");
        view_.SetItemModify(n, 1);
        EXPECT_EQ(view_.GetItemLabel(n), "");
        EXPECT_EQ(view_.GetItemCurrentValue(n), "");
        EXPECT_EQ(view_.ReadItemNewValue(n), "");
        EXPECT_EQ(view_.ReadItemModify(n), 0);
    }
    EXPECT_FALSE(window.Exists(ItemModifyId(61)));
}

TEST_F(ItemTable, ExchangeBindsIdentityFields) {
    testsupport::ScriptedWindow window(loop_, view_, res::IDD_TIRVEL2_FORM);
    view_.m_strImei = "860000000000001";
    view_.m_strVersion = "KV-2.9";
    view_.UpdateData(false);
    EXPECT_EQ(window.Text(res::IDC_IMEI), "860000000000001");
    EXPECT_EQ(window.Text(res::IDC_VERSION), "KV-2.9");
    EXPECT_TRUE(view_.m_ctrlHelp.IsBound());
    EXPECT_EQ(view_.m_ctrlLog.ControlId(), res::IDC_LOG_PANE);
}

}  // namespace
