// The station's own logic: the port lists the operator types, the event lines
// between worker and supervisor, and the board's layout on a terminal.
#include <gtest/gtest.h>

#include "LanguageForTheTest.h"
#include "cli/PortList.h"
#include "cli/StationBoard.h"
#include "cli/StationEvents.h"
#include "cli/TextOutput.h"

namespace {

using cli::PortListError;
using cli::StationEvent;

std::vector<int> Numbers(const cli::PortListResult& result) {
    std::vector<int> numbers;
    for (const cli::StationPort& port : std::get<std::vector<cli::StationPort>>(result)) {
        numbers.push_back(port.comPort);
    }
    return numbers;
}

struct GoodList {
    std::string text;
    std::vector<int> ports;
};
class PortListAccepts : public ::testing::TestWithParam<GoodList> {};

TEST_P(PortListAccepts, InTheOrderGiven) {
    const auto result = cli::ParsePortList(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<std::vector<cli::StationPort>>(result)) << GetParam().text;
    EXPECT_EQ(Numbers(result), GetParam().ports);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PortListAccepts,
    ::testing::Values(GoodList{"3", {3}}, GoodList{"1-4", {1, 2, 3, 4}},
                      GoodList{"1,3,7-9", {1, 3, 7, 8, 9}}, GoodList{"9,2", {9, 2}},
                      // Decimal, not the octal the option parser would make of it.
                      GoodList{"010", {10}}, GoodList{"5-5", {5}}, GoodList{"255", {255}},
                      GoodList{"1-32", [] {
                                   std::vector<int> all;
                                   for (int n = 1; n <= 32; ++n)
                                       all.push_back(n);
                                   return all;
                               }()}));

struct BadList {
    std::string text;
    PortListError::Kind kind;
};
class PortListRefuses : public ::testing::TestWithParam<BadList> {};

TEST_P(PortListRefuses, WithTheReason) {
    const auto result = cli::ParsePortList(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<PortListError>(result)) << GetParam().text;
    EXPECT_EQ(std::get<PortListError>(result).kind, GetParam().kind) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, PortListRefuses,
    ::testing::Values(
        BadList{"", PortListError::BadList}, BadList{"0", PortListError::BadList},
        BadList{"256", PortListError::BadList}, BadList{"4-1", PortListError::BadList},
        BadList{"1,,2", PortListError::BadList}, BadList{"1,", PortListError::BadList},
        BadList{"1-", PortListError::BadList}, BadList{"-3", PortListError::BadList},
        BadList{"1-2-3", PortListError::BadList}, BadList{" 1", PortListError::BadList},
        BadList{"0x10", PortListError::BadList}, BadList{"99999999999", PortListError::BadList},
        BadList{"1,2,1", PortListError::Repeated}, BadList{"1-4,3", PortListError::Repeated},
        BadList{"1-33", PortListError::TooMany}, BadList{"1-255", PortListError::TooMany}));

TEST(PortList, RepeatedNamesThePortAndDevicePathsAreTakenAsGiven) {
    EXPECT_EQ(std::get<PortListError>(cli::ParsePortList("2-5,4")).detail, "COM4");
    const auto paths = cli::DevicePorts({"/dev/ttyUSB0", "/dev/ttyUSB1"});
    const auto& ports = std::get<std::vector<cli::StationPort>>(paths);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[1].Label(), "/dev/ttyUSB1");
    EXPECT_EQ(ports[1].comPort, 0);
    const auto twice = cli::DevicePorts({"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB0"});
    EXPECT_EQ(std::get<PortListError>(twice).kind, PortListError::Repeated);
    EXPECT_EQ(std::get<PortListError>(twice).detail, "/dev/ttyUSB0");
}

TEST(StationEvents, AnEndWithItsRowComesThroughWhole) {
    StationEvent end;
    end.kind = StationEvent::Kind::End;
    end.outcome = cli::DeviceOutcome::Done;
    cli::DeviceRow row;
    row.port = "COM7";
    row.time = "2026-12-08 10:00:00";
    row.imei = "860000000000001";
    row.version = "KV-2.9.4";
    row.ok = false;
    row.written = 3;
    row.bytes = 5'000'000'000LL;  // past 32 bits
    row.message = "终端未保存所要求的值：\"APN\"\nsecond line";
    end.row = row;
    const std::string line = cli::EncodeEvent(end);
    EXPECT_EQ(line.find('\n'), std::string::npos) << "one event, one line";
    const auto back = cli::DecodeEvent(line);
    ASSERT_TRUE(back && back->row);
    EXPECT_EQ(back->outcome, cli::DeviceOutcome::Done);
    EXPECT_EQ(back->row->port, row.port);
    EXPECT_EQ(back->row->imei, row.imei);
    EXPECT_EQ(back->row->written, 3);
    EXPECT_EQ(back->row->bytes, row.bytes);
    EXPECT_EQ(back->row->message, row.message);
    EXPECT_FALSE(back->row->ok);
}

TEST(StationEvents, EveryStepAndOutcomeKeepsItsName) {
    for (int step = 0; step <= static_cast<int>(cli::DeviceStep::Sending); ++step) {
        StationEvent event;
        event.kind = StationEvent::Kind::Step;
        event.step = static_cast<cli::DeviceStep>(step);
        event.detail = 40 + step;
        const auto back = cli::DecodeEvent(cli::EncodeEvent(event));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->step, event.step);
        EXPECT_EQ(back->detail, event.detail);
    }
    for (int outcome = 0; outcome <= static_cast<int>(cli::DeviceOutcome::Interrupted); ++outcome) {
        StationEvent event;
        event.kind = StationEvent::Kind::End;
        event.outcome = static_cast<cli::DeviceOutcome>(outcome);
        const auto back = cli::DecodeEvent(cli::EncodeEvent(event));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->outcome, event.outcome);
        EXPECT_FALSE(back->row);
    }
}

// What a dying worker prints is not an event, and a damaged event is none
// either: the supervisor keeps such lines as the reason, never as a result.
TEST(StationEvents, LinesThatAreNotWholeEventsAreNone) {
    for (const std::string line :
         {"", "tirvelctl: std::bad_alloc", "==1234==ERROR: AddressSanitizer: heap-use-after-free",
          "{", "{\"event\":\"end\"}", "{\"event\":\"teleport\"}", "[1,2]",
          "{\"event\":\"end\",\"outcome\":\"done\",\"row\":{\"port\":1}}",
          "{\"event\":\"end\",\"outcome\":\"won\"}",
          "{\"event\":\"step\",\"step\":\"flying\",\"detail\":0}",
          "{\"event\":\"transfer\",\"done\":\"half\",\"total\":10}"}) {
        EXPECT_FALSE(cli::DecodeEvent(line)) << line;
    }
}

TEST(StationEvents, ThePasswordLineCarriesAnyBytes) {
    const std::string bytes("p\0w\xff\n\r,", 7);
    EXPECT_EQ(cli::DecodePasswordLine(cli::EncodePasswordLine(bytes)), bytes);
    EXPECT_EQ(cli::DecodePasswordLine(cli::EncodePasswordLine(std::string())), std::string());
    EXPECT_FALSE(cli::DecodePasswordLine(cli::EncodePasswordLine(std::nullopt)));
    EXPECT_FALSE(cli::DecodePasswordLine(""));  // the supervisor has gone
    EXPECT_FALSE(cli::DecodePasswordLine("p4"));
    EXPECT_FALSE(cli::DecodePasswordLine("pzz"));
}

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
        {"COM3", "waiting for the device", "", 0, 0},
        {"/dev/ttyUSB10", "正在发送 42%，10.9 KB/s", "860000000000001", 12, 1}};
    const auto board = cli::FormatBoard(lines, "Done 13/20, failed 1, 212 devices/h", 200);
    ASSERT_EQ(board.size(), 3u);
    // The state column starts at the same cell on every line.
    const std::size_t longest = std::string("/dev/ttyUSB10").size();
    EXPECT_EQ(board[0].substr(0, longest + 2), "COM3" + std::string(longest - 4 + 2, ' '));
    EXPECT_EQ(board[0].find("waiting"), longest + 2);
    EXPECT_EQ(board[1].find("正在发送"), longest + 2);
    // Their IMEI columns line up by cells, not bytes.
    const auto cellsBefore = [](const std::string& line, const std::string& what) {
        return cli::DisplayWidth(line.substr(0, line.find(what)));
    };
    EXPECT_EQ(cellsBefore(board[0], " - "), cellsBefore(board[1], " 860000000000001"));
    EXPECT_EQ(board[2], "Done 13/20, failed 1, 212 devices/h");

    for (const std::string& line : cli::FormatBoard(lines, std::string(300, 'x'), 40)) {
        EXPECT_LE(cli::DisplayWidth(line), 39u) << line;
    }
}

TEST(StationBoard, DevicesPerHourOnlyOnceThereIsAMinuteToCountOn) {
    const testsupport::EnglishForTheTest english;
    EXPECT_EQ(cli::FormatTotals(3, 0, 1, 30), "Done 3, failed 1, - devices/h");
    EXPECT_EQ(cli::FormatTotals(30, 100, 0, 600), "Done 30/100, failed 0, 180 devices/h");
}

}  // namespace
