// TransferSendFile against a receiver that reacts to what it is sent
// (ReceiverPort.h) but answers as the fuzz input says: late, twice, with a NAK
// behind an ACK, with its ACK lost. The rule: the sender reports success only
// when the receiver has the image — every block in order, and the end.
//
// Input: bytes 0-1 the image size (0..1023) and byte 1's top bit the variant
// the receiver asks for (set: CRC); the rest are the receiver's choices, in
// the order it needs them: for a new block the kind of answer, then how it is
// answered; for an EOT whether it is acknowledged, then how (ReceiverPort.cpp).
#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ReceiverPort.h"
#include "firmware/Xmodem.h"

namespace {

constexpr std::size_t kBlock = 128;

// The data fields the blocks of this image carry, one after another.
std::string Fields(const std::vector<std::uint8_t>& image) {
    std::string fields;
    for (std::size_t offset = 0; offset < image.size(); offset += kBlock) {
        std::string field(kBlock, '\0');
        const std::size_t n = std::min(kBlock, image.size() - offset);
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), n, field.begin());
        if (n < kBlock) {
            field[n] = static_cast<char>(xmodem::SUB);
        }
        fields += field;
    }
    return fields;
}

}  // namespace

FUZZ_TARGET(xmodem_truth) {
    if (size < 2) {
        return 0;
    }
    const std::size_t imageSize = (data[0] | (data[1] << 8)) & 0x3FF;
    const bool crc = (data[1] & 0x80) != 0;
    std::vector<std::uint8_t> image(imageSize);
    for (std::size_t i = 0; i < imageSize; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 13 + i / 128);
    }
    const std::size_t blocks = (imageSize + kBlock - 1) / kBlock;

    fuzzsupport::ReceiverPort port(data + 2, size - 2, crc);
    SetTransferClock(&fuzzsupport::ScriptedPort::SteadyNow);
    SetTransferPort(fuzzsupport::ScriptedPort::kHandle);
    const std::atomic<int> stop{0};
    const int result = TransferSendFile(image.data(), static_cast<std::int32_t>(imageSize), &stop);
    SetTransferPort(INVALID_HANDLE_VALUE);
    SetTransferClock(nullptr);

    // Only whole, correct blocks of the variant asked for ever go out.
    FUZZ_CHECK(port.BadFrames() == 0);
    if (result >= 0) {
        FUZZ_CHECK(port.Complete());
        FUZZ_CHECK(port.Stored() == Fields(image));
        FUZZ_CHECK(result == static_cast<int>(blocks * kBlock));
    }
    // A receiver that keeps to its promises gets every transfer to an end in
    // bounded time: per block five tries of a 10 s wait and a settling line,
    // ten tries of the end, two drains.
    const auto bound = std::chrono::milliseconds(16 * 3000 + 5 * 18000 * static_cast<long>(blocks) +
                                                 10 * 12000 + 2 * 12000 + 1000);
    FUZZ_CHECK(port.Now() <= bound);
    return 0;
}
