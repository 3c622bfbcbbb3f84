// The station's board: its layout on a terminal.
#include <gtest/gtest.h>

#include "LanguageForTheTest.h"
#include "cli/StationBoard.h"
#include "common/TextOutput.h"

namespace {

TEST(StationBoard, CellsAreCountedAsTheTerminalShowsThem) {
    EXPECT_EQ(cli::FitCells("终端ab", 3), "终");
    EXPECT_EQ(cli::FitCells("终端ab", 5), "终端a");
    EXPECT_EQ(cli::FitCells("abc", 10), "abc");
    // A character is never cut in the middle of its bytes.
    const std::string cut = cli::FitCells("a终", 2);
    EXPECT_EQ(cut, "a");
}

TEST(StationBoard, LinesAlignAndNeverReachTheEdge) {
    const testsupport::EnglishForTheTest english;
    const std::vector<cli::BoardLine> lines{
        {"COM3", "waiting for the device", "", 0, 0, ""},
        {"/dev/ttyUSB10", "正在发送 42%，10.9 KB/s", "860000000000001", 12, 1, ""}};
    const auto board = cli::FormatBoard(lines, "Done 13/20, failed 1, 212 devices/h", 200);
    ASSERT_EQ(board.size(), 3u);
    // The state column starts at the same cell on every line.
    const std::size_t longest = std::string("/dev/ttyUSB10").size();
    EXPECT_EQ(board[0].substr(0, longest + 2), "COM3" + std::string(longest - 4 + 2, ' '));
    EXPECT_EQ(board[0].find("waiting"), longest + 2);
    EXPECT_EQ(board[1].find("正在发送"), longest + 2);
    // Their IMEI columns line up by cells, not bytes.
    const auto cellsBefore = [](const std::string& line, const std::string& what) {
        return common::DisplayWidth(line.substr(0, line.find(what)));
    };
    EXPECT_EQ(cellsBefore(board[0], " - "), cellsBefore(board[1], " 860000000000001"));
    EXPECT_EQ(board[2], "Done 13/20, failed 1, 212 devices/h");

    for (const std::string& line : cli::FormatBoard(lines, std::string(300, 'x'), 40)) {
        EXPECT_LE(common::DisplayWidth(line), 39u) << line;
    }
}

// Last on its line: a narrow terminal cuts it before the counts.
TEST(StationBoard, APortsLineEndsWithWhereItsDevicesValuesCameFrom) {
    const testsupport::EnglishForTheTest english;
    const std::vector<cli::BoardLine> lines{{"COM3", "OK", "860000000000001", 2, 0, "pool ids"}};
    const std::string wide = cli::FormatBoard(lines, "", 200)[0];
    EXPECT_EQ(wide.substr(wide.size() - 24), "OK 2, failed 0  pool ids") << wide;
}

TEST(StationBoard, TotalsCarryThePace) {
    const testsupport::EnglishForTheTest english;
    EXPECT_EQ(cli::FormatTotals(3, 0, 1, 30), "Done 3, failed 1, 360 devices/h");
    EXPECT_EQ(cli::FormatTotals(30, 100, 0, 600), "Done 30/100, failed 0, 180 devices/h");
}

}  // namespace
