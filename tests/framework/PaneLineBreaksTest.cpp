#include <gtest/gtest.h>

#include "framework/PaneLineBreaks.h"

namespace {

TEST(PaneLineBreaks, CrLfALoneCrAndALoneLfAreOneBreakEach) {
    bool endsWithCr = true;
    EXPECT_EQ(fw::ToLineBreaks("a\r\nb\rc\nd", '\n', false, &endsWithCr), "a\nb\nc\nd");
    EXPECT_FALSE(endsWithCr);
    EXPECT_EQ(fw::ToLineBreaks("\n\r\r\n\n", '\r', false, &endsWithCr), "\r\r\r\r");
    const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87\t\x01";
    EXPECT_EQ(fw::ToLineBreaks(chinese, '\n', false, &endsWithCr), chinese);
}

TEST(PaneLineBreaks, ALfAfterACrThatEndedThePreviousPieceIsTheSameBreak) {
    bool endsWithCr = false;
    EXPECT_EQ(fw::ToLineBreaks("a\r", '\n', false, &endsWithCr), "a\n");
    EXPECT_TRUE(endsWithCr);
    EXPECT_EQ(fw::ToLineBreaks("\nb", '\n', true, &endsWithCr), "b");
    EXPECT_FALSE(endsWithCr);
    EXPECT_EQ(fw::ToLineBreaks("\nb", '\n', false, &endsWithCr), "\nb");
    EXPECT_EQ(fw::ToLineBreaks("", '\n', true, &endsWithCr), "");
    EXPECT_TRUE(endsWithCr);
}

TEST(PaneLineBreaks, EachPaneRemembersHowItsOwnTextEndedUntilItIsReplaced) {
    fw::CPaneLineBreaks panes('\r');
    EXPECT_EQ(panes.Append(1, "one\r"), "one\r");
    EXPECT_EQ(panes.Append(2, "two"), "two");
    EXPECT_EQ(panes.Append(2, "\nmore"), "\rmore");
    EXPECT_EQ(panes.Append(1, "\nnext\r"), "next\r");
    EXPECT_EQ(panes.Replace(1, "\nfresh\r"), "\rfresh\r");
    EXPECT_EQ(panes.Append(1, "\n"), "");
}

}  // namespace
