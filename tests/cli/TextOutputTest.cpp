#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/Console.h"
#include "common/TextOutput.h"

namespace {

using common::CsvRecord;
using common::DisplayWidth;
using common::FormatTable;

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

// Device text under the one rule, in each of its shapes: a field, lines said
// to the operator, the log on a terminal.
struct Shaped {
    std::string text;
    std::string field;
    std::string lines;
    std::string log;
};
class DeviceText : public ::testing::TestWithParam<Shaped> {};

TEST_P(DeviceText, ReachesTheTerminalWithoutAControlCharacter) {
    const Shaped& p = GetParam();
    EXPECT_EQ(common::Printable(p.text), p.field);
    EXPECT_EQ(common::PrintableLines(p.text), p.lines);
    EXPECT_EQ(common::PrintableLog(p.text), p.log);
    // Made printable once is printable: lines pass through the rule twice
    // (a worker's message, then the supervisor) and must not change.
    EXPECT_EQ(common::Printable(p.field), p.field);
    EXPECT_EQ(common::PrintableLines(p.lines), p.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, DeviceText,
    ::testing::Values(
        Shaped{"KV-2.9.4 工作模式", "KV-2.9.4 工作模式", "KV-2.9.4 工作模式", "KV-2.9.4 工作模式"},
        // A title change and a screen clear hidden in a version string.
        Shaped{"KV\x1b]0;x\x07\x1b[2J", "KV\\x1B]0;x\\x07\\x1B[2J", "KV\\x1B]0;x\\x07\\x1B[2J",
               "KV\\x1B]0;x\\x07\\x1B[2J"},
        Shaped{"a\r\nb\tc", "a\\x0D\\x0Ab\\x09c", "a\\x0D\nb\\x09c", "a\r\nb\tc"},
        Shaped{std::string("\0\b\x7f", 3), "\\x00\\x08\\x7F", "\\x00\\x08\\x7F", "\\x00\\x08\\x7F"},
        // C1 controls (CSI, OSC) as UTF-8, what a Windows code page makes of
        // some bytes; the letters around them are not touched.
        Shaped{"\xC2\x9B"
               "2J\xC2\x9D\xC2\xA0\xC3\x9B",
               "\\x9B2J\\x9D\xC2\xA0\xC3\x9B", "\\x9B2J\\x9D\xC2\xA0\xC3\x9B",
               "\\x9B2J\\x9D\xC2\xA0\xC3\x9B"},
        // A backslash is text.
        Shaped{"\\\\.\\COM7", "\\\\.\\COM7", "\\\\.\\COM7", "\\\\.\\COM7"}));

TEST(TextOutput, DeviceTextCannotSteerTheTerminal) {
    const std::string table = FormatTable({"Value"}, {{"a\x1b[2Jb\r\nc"}, {"工作"}});
    EXPECT_EQ(table, "Value\na\\x1B[2Jb\\x0D\\x0Ac\n工作\n");
}

struct Cell {
    std::string field;
    std::string record;
};
class CsvCells : public ::testing::TestWithParam<Cell> {};

TEST_P(CsvCells, AreTextToASpreadsheet) {
    EXPECT_EQ(CsvRecord({GetParam().field}), GetParam().record + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cells, CsvCells,
    ::testing::Values(Cell{"2026-01-02 03:04:05", "2026-01-02 03:04:05"},
                      Cell{"860000000000001", "860000000000001"}, Cell{"", ""},
                      Cell{"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
                      Cell{"+1", "'+1"}, Cell{"-2+3", "'-2+3"}, Cell{"@SUM(A1)", "'@SUM(A1)"},
                      Cell{"\t=1", "'\\x09=1"}, Cell{"\r=1", "'\\x0D=1"}, Cell{"a=1", "a=1"},
                      Cell{"KV\x1b[31m", "KV\\x1B[31m"}, Cell{"line\nbreak", "line\\x0Abreak"},
                      Cell{"a,b", "\"a,b\""}, Cell{"say \"hi\"", "\"say \"\"hi\"\"\""},
                      Cell{" pad", "\" pad\""}, Cell{"终端未保存", "终端未保存"}));

TEST(TextOutput, JsonStaysTheSameDocumentWithNothingATerminalWouldRun) {
    const std::string text =
        "KV\x7f\xC2\x9B"
        "2J\x1b[1m \xC2\xA0中";
    const nlohmann::json document = {{"version", text}};
    const std::string inert = common::InertJson(document.dump());
    EXPECT_EQ(inert.find('\x7f'), std::string::npos);
    EXPECT_EQ(inert.find("\xC2\x9B"), std::string::npos);
    EXPECT_EQ(inert.find('\x1b'), std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(inert).at("version").get<std::string>(), text);
}

}  // namespace
