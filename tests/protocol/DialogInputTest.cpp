// What an operator can type into the two small dialogs: COM numbers in every
// wrong form, and passwords at, over and around the limit of the device's
// command buffer ("AT+TESTPWD=" + password + "\r" in 50 bytes).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TextSearch.h"
#include "Workbench.h"
#include "form/Tirvel2View.h"
#include "res/ResourceIds.h"

using testsupport::DialogAnswer;
using testsupport::Occurrences;
using testsupport::PasswordAnswer;
using testsupport::Workbench;

namespace {

TEST(SettingsInput, OnlyDecimalNumbersFrom1To255AreTaken) {
    Workbench bench;
    const std::vector<std::string> refused = {"",    "-1",  "4294967297", "4294967296", "0x10",
                                              "1e2", "1.5", " ",          "٣"};
    for (const std::string& typed : refused) {
        bench.dialogs.Expect({res::IDD_SETTINGS, {{res::IDC_COM_PORT, typed}}, fw::IDOK});
    }
    bench.dialogs.Expect({res::IDD_SETTINGS, {{res::IDC_COM_PORT, "1"}}, fw::IDCANCEL});
    bench.view.m_nComPort = 9;
    bench.Command(res::ID_SETTINGS);
    EXPECT_EQ(bench.view.m_nComPort, 9);
    ASSERT_EQ(bench.dialogs.Shown().size(), 1u);
    const auto& boxes = bench.dialogs.Shown()[0].messageBoxes;
    ASSERT_EQ(boxes.size(), refused.size());
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_TRUE(boxes[i].textId == fw::AFX_IDP_PARSE_INT_RANGE ||
                    boxes[i].textId == fw::AFX_IDP_PARSE_UINT)
            << "'" << refused[i] << "' " << boxes[i].textId;
    }

    // Leading zeros are decimal, never octal.
    bench.dialogs.Expect({res::IDD_SETTINGS, {{res::IDC_COM_PORT, "010"}}, fw::IDOK});
    bench.Command(res::ID_SETTINGS);
    EXPECT_EQ(bench.view.m_nComPort, 10);
}

TEST(PasswordInput, ThirtySevenBytesGoWholeInOneCommand) {
    const std::string password(37, 'p');
    Workbench bench({"--password", password});
    bench.dialogs.Expect(PasswordAnswer(password));
    ASSERT_TRUE(bench.Connect());
    const std::string command = "AT+TESTPWD=" + password + "\r";
    ASSERT_EQ(command.size(), 49u);  // and the buffer's terminating zero: 50
    EXPECT_EQ(Occurrences(bench.Received(), command), 1);
    EXPECT_TRUE(bench.window.MessageBoxes().empty());
}

TEST(PasswordInput, OverTheLimitOrOverOneLineIsRefusedAndNeverSent) {
    Workbench bench({"--password", "ok"});
    // 19 Chinese characters are 38 bytes in the Chinese code page.
    std::string chinese;
    for (int i = 0; i < 19; ++i) {
        chinese += "中";
    }
    for (const std::string& typed :
         {std::string(38, 'x'), std::string(4096, 'y'), std::string("ok\r"), std::string("o\nk")}) {
        bench.dialogs.Expect(PasswordAnswer(typed));
    }
    // The English code page has no such character: the dialog says so and
    // stays open for the next try, instead of sending "???...".
    bench.dialogs.Expect(PasswordAnswer(chinese));
    bench.dialogs.Expect(PasswordAnswer("ok"));
    ASSERT_TRUE(bench.Connect());
    EXPECT_EQ(bench.window.MessageBoxTexts(), std::vector<fw::UINT>(4, res::IDS_PASSWORD_TOO_LONG));
    const auto& last = bench.dialogs.Shown().back().messageBoxes;
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].textId, res::IDS_PASSWORD_NOT_ENCODABLE);
    const std::string received = bench.Received();
    EXPECT_EQ(Occurrences(received, "AT+TESTPWD="), 1) << ::testing::PrintToString(received);
    EXPECT_EQ(Occurrences(received, "AT+TESTPWD=ok\r"), 1);

    // In Chinese the same 19 characters are representable but too long.
    Workbench zh({"--password", "ok"}, fw::Language::Chinese);
    zh.dialogs.Expect(PasswordAnswer(chinese));
    zh.dialogs.Expect(PasswordAnswer("ok"));
    ASSERT_TRUE(zh.Connect());
    EXPECT_EQ(zh.window.MessageBoxTexts(), std::vector<fw::UINT>{res::IDS_PASSWORD_TOO_LONG});
    EXPECT_EQ(Occurrences(zh.Received(), "AT+TESTPWD="), 1);
}

TEST(PasswordInput, TypedTextIsSentInTheDevicesCodePage) {
    Workbench bench({"--password", "right"}, fw::Language::Chinese);
    bench.dialogs.Expect(PasswordAnswer("密码"));
    bench.dialogs.Expect({res::IDD_PASSWORD, {}, fw::IDCANCEL});
    EXPECT_FALSE(bench.Connect());
    // GB18030 bytes of 密码, three times, then nothing more after Cancel.
    EXPECT_EQ(Occurrences(bench.Received(), "AT+TESTPWD=\xC3\xDC\xC2\xEB\r"), 3);
    EXPECT_EQ(bench.view.m_hComPort, INVALID_HANDLE_VALUE);
}

}  // namespace
