#include <gtest/gtest.h>

#include "cli/Console.h"
#include "cli/TextOutput.h"

namespace {

using cli::CsvRecord;
using cli::DisplayWidth;
using cli::FormatTable;

TEST(TextOutput, ChineseTakesTwoCellsAndBrokenBytesOne) {
    EXPECT_EQ(DisplayWidth(""), 0u);
    EXPECT_EQ(DisplayWidth("APN"), 3u);
    EXPECT_EQ(DisplayWidth("APN接入点"), 3u + 3 * 2);
    EXPECT_EQ(DisplayWidth("（）"), 4u);              // full-width punctuation
    EXPECT_EQ(DisplayWidth("\xEF\xBF\xBD"), 1u);      // U+FFFD, what undecodable bytes become
    EXPECT_EQ(DisplayWidth("a\xC3"), 2u);             // a sequence cut short
    EXPECT_EQ(DisplayWidth("\xB9\xA4\xD7\xF7"), 4u);  // GB18030 bytes never decoded
}

TEST(TextOutput, TableColumnsLineUpOnScreen) {
    const std::string table =
        FormatTable({"No.", "Name", "Value"},
                    {{"1", "工作模式", "0"}, {"12", "Heartbeat Data", "HB"}, {"3", "x", ""}});
    EXPECT_EQ(table,
              "No.  Name            Value\n"
              "1    工作模式        0\n"
              "12   Heartbeat Data  HB\n"
              "3    x\n");
}

TEST(TextOutput, DeviceTextCannotSteerTheTerminal) {
    const std::string table = FormatTable({"Value"}, {{"a\x1b[2Jb\r\nc\x7f"}});
    EXPECT_EQ(table, "Value\na?[2Jb??c?\n");
}

TEST(TextOutput, CsvQuotesOnlyWhereNeeded) {
    EXPECT_EQ(CsvRecord({"2026-01-02 03:04:05", "860000000000001", "OK", "5"}),
              "2026-01-02 03:04:05,860000000000001,OK,5\r\n");
    EXPECT_EQ(CsvRecord({"a,b", "say \"hi\"", "line\nbreak", " pad", ""}),
              "\"a,b\",\"say \"\"hi\"\"\",\"line\nbreak\",\" pad\",\r\n");
}

TEST(TextOutput, MessageTextsLoseTheirOuterLineEndsOnly) {
    EXPECT_EQ(cli::TrimLineEnds("\r\nKavrel startup timeout!\r\n"), "Kavrel startup timeout!");
    EXPECT_EQ(cli::TrimLineEnds("one\r\ntwo\n"), "one\r\ntwo");
    EXPECT_EQ(cli::TrimLineEnds("\r\n"), "");
}

}  // namespace
