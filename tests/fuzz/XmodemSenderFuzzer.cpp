// TransferSendFile against a receiver that answers with the fuzz input (the
// port's script, ScriptedPort.h), on the script's virtual clock.
//
// Input: bytes 0-1 the image size (0..1023), byte 2 the port call at which
// Stop is pressed (0: never; else 8 times it); the image is a pattern, so
// every block differs. The rest is the receiver's script.
#include <algorithm>
#include <atomic>
#include <climits>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ScriptedPort.h"
#include "firmware/Xmodem.h"

namespace {

constexpr std::size_t kBlock = 128;

std::uint8_t Checksum(const std::uint8_t* data) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        sum += data[i];
    }
    return static_cast<std::uint8_t>(sum);
}

// CRC-16/XMODEM bit by bit, apart from the sender's table.
std::uint16_t Crc(const std::uint8_t* data) {
    unsigned crc = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        crc ^= static_cast<unsigned>(data[i]) << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000U) != 0 ? ((crc << 1) ^ 0x1021U) & 0xFFFFU : (crc << 1) & 0xFFFFU;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

// The block numbered `number` as the image says it must look.
std::string ExpectedBlock(const std::vector<std::uint8_t>& image, std::size_t index, bool crc) {
    std::uint8_t field[kBlock] = {};
    const std::size_t offset = index * kBlock;
    const std::size_t n = std::min(kBlock, image.size() - offset);
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), n, field);
    if (n < kBlock) {
        field[n] = xmodem::SUB;
    }
    std::string block;
    block += static_cast<char>(xmodem::SOH);
    block += static_cast<char>(static_cast<std::uint8_t>(index + 1));
    block += static_cast<char>(static_cast<std::uint8_t>(0xFF - ((index + 1) & 0xFF)));
    block.append(reinterpret_cast<const char*>(field), kBlock);
    if (crc) {
        const std::uint16_t value = Crc(field);
        block += static_cast<char>(value >> 8);
        block += static_cast<char>(value & 0xFF);
    } else {
        block += static_cast<char>(Checksum(field));
    }
    return block;
}

}  // namespace

FUZZ_TARGET(xmodem_sender) {
    using fuzzsupport::ScriptedPort;
    if (size < 3) {
        return 0;
    }
    const std::size_t imageSize = (data[0] | (data[1] << 8)) & 0x3FF;
    const std::size_t stopAt = static_cast<std::size_t>(data[2]) * 8;
    std::vector<std::uint8_t> image(imageSize);
    for (std::size_t i = 0; i < imageSize; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + i / 128);
    }
    const std::size_t blocks = (imageSize + kBlock - 1) / kBlock;

    ScriptedPort port(data + 3, size - 3, true);
    std::atomic<int> stop{0};
    // The per mille counts whole blocks, so a partly filled last block takes it
    // past 1000 (1000 bytes end at 1024) and the bar clamps it; it never falls
    // and never passes what all blocks make.
    const std::int64_t ceiling =
        imageSize == 0 ? 0 : static_cast<std::int64_t>(blocks * kBlock * 1000 / imageSize);
    bool progressInRange = true;
    std::int32_t lastProgress = 0;
    port.onCall = [&] {
        const std::int32_t p = GetTransferProgress();
        progressInRange = progressInRange && p >= lastProgress && p <= ceiling;
        lastProgress = p;
        if (stopAt != 0 && port.Calls() == stopAt) {
            stop.store(1);
        }
    };
    SetTransferClock(&ScriptedPort::SteadyNow);
    SetTransferPort(ScriptedPort::kHandle);
    const int result = TransferSendFile(image.data(), static_cast<std::int32_t>(imageSize), &stop);
    SetTransferPort(INVALID_HANDLE_VALUE);
    SetTransferClock(nullptr);

    FUZZ_CHECK(result >= 0 || result == kTransferCancelledByReceiver ||
               result == kTransferNoStartSignal || result == kTransferBlockNotAcknowledged ||
               result == kTransferEndNotAcknowledged || result == kTransferStopped);
    FUZZ_CHECK(progressInRange);
    const std::int32_t progress = GetTransferProgress();
    FUZZ_CHECK(progress >= 0 && progress <= ceiling);
    if (stop.load() == 0) {
        FUZZ_CHECK(result != kTransferStopped);
    }

    // Every wait of the sender is bounded: the start signals, five tries of
    // each block and ten of the end, each with a possible cancel check, the
    // settling of the line after the last block and around each EOT (at most
    // 6.5 s, a cancel and its drain within), and two drains. Anything longer
    // is a hang.
    constexpr long kSettle = 6500 + 1000 + 11500;
    const auto bound =
        std::chrono::milliseconds(16 * 3000 + 5 * 11000 * static_cast<long>(blocks) + 5 * kSettle +
                                  10 * (kSettle + 5000 + 500) + 2 * 12000 + 1000);
    FUZZ_CHECK(port.Now() <= bound);
    FUZZ_CHECK(port.Calls() <= 2 * static_cast<std::size_t>(bound.count() / 10) + size + 16);

    // What went out: whole, correct blocks (all in one variant), EOT, CAN and
    // the ACK of a receiver's cancel; nothing else.
    const std::string& out = port.Written();
    std::size_t highest = 0;
    int blockLength = 0;
    for (std::size_t i = 0; i < out.size();) {
        const auto c = static_cast<std::uint8_t>(out[i]);
        if (c == xmodem::SOH) {
            FUZZ_CHECK(out.size() - i >= 132);
            const std::size_t index = static_cast<std::uint8_t>(out[i + 1]) - 1U;
            FUZZ_CHECK(index < blocks);
            if (index >= blocks || out.size() - i < 132) {
                return 0;
            }
            const bool crc = out.size() - i >= 133 &&
                             out.compare(i, 133, ExpectedBlock(image, index, true)) == 0;
            const std::string want = ExpectedBlock(image, index, crc);
            FUZZ_CHECK(out.compare(i, want.size(), want) == 0);
            FUZZ_CHECK(blockLength == 0 || blockLength == static_cast<int>(want.size()));
            blockLength = static_cast<int>(want.size());
            // Blocks go in order: the same one again, or the next.
            FUZZ_CHECK(index + 1 == highest || index == highest);
            highest = std::max(highest, index + 1);
            i += want.size();
        } else {
            FUZZ_CHECK(c == xmodem::EOT || c == xmodem::CAN || c == xmodem::ACK);
            ++i;
        }
    }

    if (result >= 0) {
        // Success only when every block went out and the receiver acknowledged
        // each of them and the end.
        FUZZ_CHECK(result == static_cast<int>(std::min<std::size_t>(blocks * kBlock, INT_MAX)));
        FUZZ_CHECK(highest == blocks);
        FUZZ_CHECK(!out.empty() && static_cast<std::uint8_t>(out.back()) == xmodem::EOT);
        const std::string& in = port.Delivered();
        FUZZ_CHECK(static_cast<std::size_t>(std::count(in.begin(), in.end(), xmodem::ACK)) >=
                   blocks + 1);
        FUZZ_CHECK(progress == ceiling);
    }
    return 0;
}
