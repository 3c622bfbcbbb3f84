// The exact-bytes rule at the display boundary, through a real view and the
// scripted window.
#include <gtest/gtest.h>

#include "ProgramStateTest.h"
#include "ScriptedWindow.h"
#include "form/ControlIds.h"
#include "form/Tirvel2View.h"
#include "framework/Language.h"

namespace {

class ExactBytes : public testsupport::ProgramStateTestWithParam<fw::Language> {
protected:
    void SetUp() override { fw::SetLanguage(GetParam()); }
};

TEST_P(ExactBytes, UndecodableBytesSurviveARefreshUnchanged) {
    fw::CMessageLoop loop;
    CTirvel2View view;
    testsupport::ScriptedWindow window(loop, view, res::IDD_TIRVEL2_FORM, GetParam());

    // Bytes no code page of ours can show: 0x81 0x8D in Windows-1252, a lone
    // 0xFF in GB18030.
    const std::string odd =
        "A\x81\x8D\xFF"
        "B";
    view.SetItemCurrentValue(3, odd);
    view.SetItemNewValue(3, odd);
    view.m_strImei = odd;
    view.UpdateData(false);
    EXPECT_NE(window.Text(ItemNewId(3)).find("\xEF\xBF\xBD"), std::string::npos);

    view.UpdateData(true);
    EXPECT_EQ(view.GetItemCurrentValue(3), odd);
    EXPECT_EQ(view.GetItemNewValue(3), odd);
    EXPECT_EQ(view.m_strImei, odd);
    EXPECT_EQ(view.ReadItemNewValue(3), odd);
}

TEST_P(ExactBytes, TypedTextIsEncodedInTheCodePage) {
    fw::CMessageLoop loop;
    CTirvel2View view;
    testsupport::ScriptedWindow window(loop, view, res::IDD_TIRVEL2_FORM, GetParam());
    view.UpdateData(false);

    ASSERT_TRUE(window.Type(ItemNewId(1), "é"));
    const std::string expected = GetParam() == fw::Language::Chinese ? "\xA8\xA6" : "\xE9";
    EXPECT_EQ(view.ReadItemNewValue(1), expected);
    // The user cannot type into the read-only current value.
    EXPECT_FALSE(window.Type(ItemCurrentId(1), "x"));
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ExactBytes,
                         ::testing::Values(fw::Language::English, fw::Language::Chinese));

}  // namespace
