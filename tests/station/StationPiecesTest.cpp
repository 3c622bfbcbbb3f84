// The station's own logic: the port lists the operator types and the event
// lines between worker and supervisor.
#include <gtest/gtest.h>

#include "station/DevicesPerHour.h"
#include "station/PortList.h"
#include "station/StationEvents.h"

namespace {

using station::PortListError;
using station::StationEvent;

std::vector<int> Numbers(const station::PortListResult& result) {
    std::vector<int> numbers;
    for (const station::StationPort& port : std::get<std::vector<station::StationPort>>(result)) {
        numbers.push_back(port.comPort);
    }
    return numbers;
}

struct GoodList {
    std::string text;
    std::vector<int> ports;
};
// The list as typed names the case: the test's name stays the same from one
// listing to the next (raw bytes would show heap addresses).
void PrintTo(const GoodList& list, std::ostream* out) {
    *out << list.text;
}
class PortListAccepts : public ::testing::TestWithParam<GoodList> {};

TEST_P(PortListAccepts, InTheOrderGiven) {
    const auto result = station::ParsePortList(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<std::vector<station::StationPort>>(result))
        << GetParam().text;
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
    station::PortListError::Kind kind;
};
void PrintTo(const BadList& list, std::ostream* out) {
    *out << list.text;
}
class PortListRefuses : public ::testing::TestWithParam<BadList> {};

TEST_P(PortListRefuses, WithTheReason) {
    const auto result = station::ParsePortList(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<station::PortListError>(result)) << GetParam().text;
    EXPECT_EQ(std::get<station::PortListError>(result).kind, GetParam().kind) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Lists, PortListRefuses,
                         ::testing::Values(BadList{"", station::PortListError::BadList},
                                           BadList{"0", station::PortListError::BadList},
                                           BadList{"256", station::PortListError::BadList},
                                           BadList{"4-1", station::PortListError::BadList},
                                           BadList{"1,,2", station::PortListError::BadList},
                                           BadList{"1,", station::PortListError::BadList},
                                           BadList{"1-", station::PortListError::BadList},
                                           BadList{"-3", station::PortListError::BadList},
                                           BadList{"1-2-3", station::PortListError::BadList},
                                           BadList{" 1", station::PortListError::BadList},
                                           BadList{"0x10", station::PortListError::BadList},
                                           BadList{"99999999999", station::PortListError::BadList},
                                           BadList{"1,2,1", station::PortListError::Repeated},
                                           BadList{"1-4,3", station::PortListError::Repeated},
                                           BadList{"1-33", station::PortListError::TooMany},
                                           BadList{"1-255", station::PortListError::TooMany}));

TEST(PortList, RepeatedNamesThePortAndDevicePathsAreTakenAsGiven) {
    EXPECT_EQ(std::get<station::PortListError>(station::ParsePortList("2-5,4")).detail, "COM4");
    const auto paths = station::DevicePorts({"/dev/ttyUSB0", "/dev/ttyUSB1"});
    const auto& ports = std::get<std::vector<station::StationPort>>(paths);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[1].Label(), "/dev/ttyUSB1");
    EXPECT_EQ(ports[1].comPort, 0);
    const auto twice = station::DevicePorts({"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB0"});
    EXPECT_EQ(std::get<station::PortListError>(twice).kind, station::PortListError::Repeated);
    EXPECT_EQ(std::get<station::PortListError>(twice).detail, "/dev/ttyUSB0");
}

TEST(StationEvents, AnEndWithItsRowComesThroughWhole) {
    station::StationEvent end;
    end.kind = station::StationEvent::Kind::End;
    end.outcome = station::DeviceOutcome::Done;
    station::DeviceRow row;
    row.port = "COM7";
    row.time = "2026-12-08 10:00:00";
    row.imei = "860000000000001";
    row.version = "KV-2.9.4";
    row.ok = false;
    row.written = 3;
    row.bytes = 5'000'000'000LL;  // past 32 bits
    row.message = "终端未保存所要求的值：\"APN\"\nsecond line";
    end.row = row;
    const std::string line = station::EncodeEvent(end);
    EXPECT_EQ(line.find('\n'), std::string::npos) << "one event, one line";
    const auto back = station::DecodeEvent(line);
    ASSERT_TRUE(back && back->row);
    EXPECT_EQ(back->outcome, station::DeviceOutcome::Done);
    EXPECT_EQ(back->row->port, row.port);
    EXPECT_EQ(back->row->imei, row.imei);
    EXPECT_EQ(back->row->written, 3);
    EXPECT_EQ(back->row->bytes, row.bytes);
    EXPECT_EQ(back->row->message, row.message);
    EXPECT_FALSE(back->row->ok);
}

TEST(StationEvents, EveryStepAndOutcomeKeepsItsName) {
    for (int step = 0; step <= static_cast<int>(station::DeviceStep::Sending); ++step) {
        station::StationEvent event;
        event.kind = station::StationEvent::Kind::Step;
        event.step = static_cast<station::DeviceStep>(step);
        event.detail = 40 + step;
        const auto back = station::DecodeEvent(station::EncodeEvent(event));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->step, event.step);
        EXPECT_EQ(back->detail, event.detail);
    }
    for (int outcome = 0; outcome <= static_cast<int>(station::DeviceOutcome::Interrupted);
         ++outcome) {
        station::StationEvent event;
        event.kind = station::StationEvent::Kind::End;
        event.outcome = static_cast<station::DeviceOutcome>(outcome);
        const auto back = station::DecodeEvent(station::EncodeEvent(event));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->outcome, event.outcome);
        EXPECT_FALSE(back->row);
    }
}

TEST(StationEvents, WhereTheValuesCameFromComesThroughWhole) {
    station::StationEvent values{.kind = station::StationEvent::Kind::Values,
                                 .source = "编号.csv line 4, pool ids row 17"};
    const auto back = station::DecodeEvent(station::EncodeEvent(values));
    ASSERT_TRUE(back && back->kind == values.kind);
    EXPECT_EQ(back->source, values.source);
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
        EXPECT_FALSE(station::DecodeEvent(line)) << line;
    }
}

TEST(StationEvents, ThePasswordLineCarriesAnyBytes) {
    const std::string bytes("p\0w\xff\n\r,", 7);
    EXPECT_EQ(station::DecodePasswordLine(station::EncodePasswordLine(bytes)), bytes);
    EXPECT_EQ(station::DecodePasswordLine(station::EncodePasswordLine(std::string())),
              std::string());
    EXPECT_FALSE(station::DecodePasswordLine(station::EncodePasswordLine(std::nullopt)));
    EXPECT_FALSE(station::DecodePasswordLine(""));  // the supervisor has gone
    EXPECT_FALSE(station::DecodePasswordLine("p4"));
    EXPECT_FALSE(station::DecodePasswordLine("pzz"));
}

struct Pace {
    int devices;
    double seconds;
    std::string shown;
};
void PrintTo(const Pace& pace, std::ostream* out) {
    *out << pace.devices << " in " << pace.seconds << " s";
}
class DevicesPerHour : public ::testing::TestWithParam<Pace> {};

TEST_P(DevicesPerHour, FromTheRealTimeOnceADeviceHasEnded) {
    EXPECT_EQ(station::DevicesPerHour(GetParam().devices, GetParam().seconds), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Paces, DevicesPerHour,
                         ::testing::Values(Pace{0, 0, "-"}, Pace{0, 600, "-"}, Pace{3, 0, "-"},
                                           Pace{3, 20, "540"}, Pace{1, 0.5, "7200"},
                                           Pace{1, 59.9, "60"}, Pace{2, 7 * 3600.0, "0.3"},
                                           Pace{19, 2 * 3600.0, "9.5"},
                                           Pace{4000, 8 * 3600.0 + 1, "500"}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
