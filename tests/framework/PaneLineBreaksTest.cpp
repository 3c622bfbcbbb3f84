#include <gtest/gtest.h>

#include "framework/PaneLineBreaks.h"

namespace {

std::string Breaks(std::string_view text, bool continuesCr = false, bool* endsWithCr = nullptr) {
    bool ends = false;
    std::string out = fw::ToLineBreaks(text, '\n', continuesCr, &ends);
    if (endsWithCr != nullptr) {
        *endsWithCr = ends;
    }
    return out;
}

TEST(PaneLineBreaks, CrLfALoneCrAndALoneLfAreOneBreakEach) {
    EXPECT_EQ(Breaks("a\r\nb\rc\nd"), "a\nb\nc\nd");
    EXPECT_EQ(Breaks("\n\r\r\n\n"), "\n\n\n\n");
    bool endsWithCr = true;
    EXPECT_EQ(fw::ToLineBreaks("a\r\nb\nc", '\r', false, &endsWithCr), "a\rb\rc");
    EXPECT_FALSE(endsWithCr);
}

TEST(PaneLineBreaks, OtherBytesPassAsTheyAre) {
    const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87\t\x01";
    EXPECT_EQ(Breaks(chinese), chinese);
    EXPECT_EQ(Breaks(""), "");
}

TEST(PaneLineBreaks, SaysWhetherThePieceEndedWithCr) {
    bool endsWithCr = false;
    Breaks("a\r", false, &endsWithCr);
    EXPECT_TRUE(endsWithCr);
    Breaks("a\r\n", false, &endsWithCr);
    EXPECT_FALSE(endsWithCr);
    Breaks("\r", true, &endsWithCr);
    EXPECT_TRUE(endsWithCr);
    Breaks("", true, &endsWithCr);
    EXPECT_TRUE(endsWithCr);
}

TEST(PaneLineBreaks, ALfAfterACrThatEndedThePreviousPieceIsTheSameBreak) {
    EXPECT_EQ(Breaks("\nb", true), "b");
    EXPECT_EQ(Breaks("\nb", false), "\nb");
}

TEST(PaneLineBreaks, EachPaneRemembersHowItsOwnTextEnded) {
    fw::CPaneLineBreaks panes('\r');
    EXPECT_EQ(panes.Append(1, "one\r"), "one\r");
    EXPECT_EQ(panes.Append(2, "two"), "two");
    EXPECT_EQ(panes.Append(2, "\nmore"), "\rmore");
    EXPECT_EQ(panes.Append(1, "\nnext"), "next");
    EXPECT_EQ(panes.Append(1, "\n"), "\r");
}

TEST(PaneLineBreaks, ANewTextForgetsTheCrOfTheOldOne) {
    fw::CPaneLineBreaks panes('\n');
    EXPECT_EQ(panes.Append(7, "log\r"), "log\n");
    EXPECT_EQ(panes.Replace(7, "\nfresh"), "\nfresh");
    EXPECT_EQ(panes.Replace(7, "end\r"), "end\n");
    EXPECT_EQ(panes.Append(7, "\n"), "");
}

}  // namespace
