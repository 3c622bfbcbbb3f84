// How long the last block's ACK has to stand, on the receiver port's virtual
// clock: at the receiver's pace on a line that gave no cause for doubt, the
// half-second settling on one that did; either way the receiver ends with the
// image.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "ReceiverPort.h"
#include "firmware/Xmodem.h"

namespace {

using std::chrono::milliseconds;

struct Line {
    const char* name;
    std::size_t size;
    std::vector<std::uint8_t> choices;  // the receiver's, as in the truth fuzz target
    bool settles;
};

constexpr std::uint8_t kStrayAck = 0x04;
constexpr std::uint8_t kAfter0 = 0x10;
constexpr std::uint8_t kAfter50 = 0x20;
constexpr milliseconds kSettle{500};

class LastAck : public ::testing::TestWithParam<Line> {};

TEST_P(LastAck, StandsAsLongAsTheLineCallsFor) {
    const Line& line = GetParam();
    std::vector<std::uint8_t> image(line.size);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 5 + 1);
    }
    fuzzsupport::ReceiverPort port(line.choices.data(), line.choices.size(), true);
    milliseconds eotAt{-1};
    port.onCall = [&] {
        if (eotAt.count() < 0 && !port.Written().empty() &&
            static_cast<std::uint8_t>(port.Written().back()) == xmodem::EOT) {
            eotAt = port.Now();
        }
    };
    SetTransferClock(&fuzzsupport::ScriptedPort::SteadyNow);
    SetTransferPort(fuzzsupport::ScriptedPort::kHandle);
    const std::atomic<int> stop{0};
    const int result =
        TransferSendFile(image.data(), static_cast<std::int32_t>(image.size()), &stop);
    SetTransferPort(INVALID_HANDLE_VALUE);
    SetTransferClock(nullptr);

    EXPECT_GE(result, 0);
    EXPECT_TRUE(port.Complete());
    EXPECT_EQ(port.Stored().substr(0, image.size()), std::string(image.begin(), image.end()));
    ASSERT_GE(eotAt.count(), 0);
    if (line.settles) {
        EXPECT_GE(eotAt, kSettle);
    } else {
        EXPECT_LT(eotAt, kSettle);
    }
}

// Blocks of 128 bytes; for each new block the kind (0 ACK, 1 NAK) and how it
// is answered (0: at once, nothing stray).
const Line kLines[] = {
    {"CleanLine", 300, {0, 0, 0, 0, 0, 0}, false},
    {"SecondAckThrownAway", 300, {0, kStrayAck | kAfter0, 0, 0, 0, 0}, true},
    {"OneBlockHasNoPace", 100, {0, 0}, true},
    // Answers 300 ms late, the first block's second ACK 50 ms after its first:
    // it comes in pace ahead of the last block's NAK, which the watch sees.
    {"SecondAckInPaceAheadOfTheLastNak", 200, {0, 3 | kStrayAck | kAfter50, 1, 3, 0, 0}, true},
};

INSTANTIATE_TEST_SUITE_P(Pace, LastAck, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
