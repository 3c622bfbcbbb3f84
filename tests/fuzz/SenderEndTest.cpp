// The end of a transfer against the receiver port (ReceiverPort.h), on its
// virtual clock: on a clean line the EOT follows the last block's ACK at once;
// where the line leaves the end in doubt, the last block goes again, and
// either way the receiver ends with the image.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "ReceiverPort.h"
#include "firmware/Xmodem.h"

namespace {

using std::chrono::milliseconds;

// The receiver's choices, as in the truth fuzz target: for a new block its
// kind (0 ACK, 1 NAK), then how it is answered; for an EOT whether it is
// acknowledged (0) or not (1), then how. A choice of 0 answers at once with
// nothing stray; a script that runs out answers so from then on.
constexpr std::uint8_t kLate300 = 0x03;
constexpr std::uint8_t kStrayAck50After = 0x04 | 0x20;

struct Line {
    const char* name;
    std::size_t size;
    std::vector<std::uint8_t> choices;
    int lastBlockSends;
    milliseconds eotAfter;  // the last block's first send: its ACK came then
};

class TransferEnd : public ::testing::TestWithParam<Line> {};

TEST_P(TransferEnd, ReachesTheReceiversImage) {
    const Line& line = GetParam();
    std::vector<std::uint8_t> image(line.size);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    fuzzsupport::ReceiverPort port(line.choices.data(), line.choices.size(), true);
    const auto lastNumber = static_cast<char>((line.size + 127) / 128);
    int lastBlockSends = 0;
    milliseconds lastBlockAt{-1};
    milliseconds eotAt{-1};
    std::size_t seen = 0;
    port.onCall = [&] {
        const std::string& out = port.Written();
        for (; seen < out.size(); ++seen) {
            if (out[seen] == xmodem::SOH && out.size() >= seen + 133 &&
                out[seen + 1] == lastNumber) {
                if (++lastBlockSends == 1) {
                    lastBlockAt = port.Now();
                }
                seen += 132;
            } else if (out[seen] == xmodem::EOT && eotAt.count() < 0) {
                eotAt = port.Now();
            }
        }
    };
    SetTransferClock(&fuzzsupport::ScriptedPort::SteadyNow);
    SetTransferPort(fuzzsupport::ScriptedPort::kHandle);
    const std::atomic<int> stop{0};
    const int result =
        TransferSendFile(image.data(), static_cast<std::int32_t>(image.size()), &stop);
    SetTransferPort(INVALID_HANDLE_VALUE);
    SetTransferClock(nullptr);

    EXPECT_EQ(result, static_cast<int>((line.size + 127) / 128 * 128));
    EXPECT_TRUE(port.Complete());
    EXPECT_EQ(port.Stored().substr(0, image.size()), std::string(image.begin(), image.end()));
    EXPECT_EQ(lastBlockSends, line.lastBlockSends);
    EXPECT_EQ(eotAt - lastBlockAt, line.eotAfter) << "the first EOT waited for more than the ACK";
}

const Line kLines[] = {
    {"CleanLine", 300, {}, 1, milliseconds(0)},
    // The first block's second ACK comes 50 ms after its first, ahead of the
    // last block's NAK, 300 ms late: the NAK comes within the first EOT's
    // watch, and the block goes again.
    {"StaleAckAheadOfTheLastBlocksNak",
     200,
     {0, kStrayAck50After, 1, kLate300},
     2,
     milliseconds(50)},
    // The first EOT is answered with NAK: it may have been the block's.
    {"FirstEotNaked", 100, {0, 0, 1, 0}, 2, milliseconds(0)},
};

INSTANTIATE_TEST_SUITE_P(Lines, TransferEnd, ::testing::ValuesIn(kLines),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
