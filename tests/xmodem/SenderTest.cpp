// The XMODEM sender against a scripted receiver on the master side of a real
// pseudo-terminal; the sender has the slave open at 115200 8N1 with polled
// reads, as on the firmware path.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "PseudoTerminal.h"
#include "PtyPortTest.h"
#include "firmware/Xmodem.h"
#include "serial/ComPort.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr ComPortSettings k8N1{115200, 8, 0, 0, kFlowNone};
const std::string kCan3(3, '\x18');

// Bit by bit, straight from the polynomial: an oracle independent of the
// sender's table.
std::uint16_t ReferenceCrc(std::string_view bytes) {
    unsigned crc = 0;
    for (const char ch : bytes) {
        crc ^= static_cast<unsigned>(static_cast<std::uint8_t>(ch)) << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000U) != 0 ? ((crc << 1) ^ 0x1021U) & 0xFFFFU : (crc << 1) & 0xFFFFU;
        }
    }
    return static_cast<std::uint16_t>(crc);
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    }
    return image;
}

struct Block {
    std::uint8_t number = 0;
    std::uint8_t complement = 0;
    std::string data;
};

class xmodem_Sender : public testsupport::PtyPortTest {
protected:
    void SetUp() override {
        PtyPortTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        SetupComPortPolled(port_, &k8N1);
        SetTransferPort(port_);
    }
    void TearDown() override {
        if (result_.valid()) {
            result_.wait();
        }
        SetTransferPort(INVALID_HANDLE_VALUE);
        PtyPortTest::TearDown();
    }

    void Start(const std::vector<std::uint8_t>& image) {
        image_ = image;
        result_ = std::async(std::launch::async, [this] {
            return TransferSendFile(image_.data(), static_cast<std::int32_t>(image_.size()),
                                    &stop_);
        });
    }
    int Result() { return result_.get(); }

    void Send(std::string_view bytes) { pty_->Write(bytes); }
    // Exactly n bytes from the sender, or fewer when the time-out passed first.
    std::string Take(std::size_t n, milliseconds timeout = 15s) {
        std::string out;
        const auto deadline = Clock::now() + timeout;
        while (out.size() < n && Clock::now() < deadline) {
            pollfd p{pty_->MasterFd(), POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got =
                ::read(pty_->MasterFd(), buffer, std::min(sizeof buffer, n - out.size()));
            if (got > 0) {
                out.append(buffer, static_cast<std::size_t>(got));
            }
        }
        return out;
    }
    // One block, checked for its framing and its checksum or CRC.
    Block TakeBlock(bool crc) {
        const std::string raw = Take(crc ? 133 : 132);
        Block b;
        EXPECT_EQ(raw.size(), crc ? 133U : 132U);
        if (raw.size() != (crc ? 133U : 132U)) {
            return b;
        }
        EXPECT_EQ(raw[0], '\x01');
        b.number = static_cast<std::uint8_t>(raw[1]);
        b.complement = static_cast<std::uint8_t>(raw[2]);
        EXPECT_EQ(b.number + b.complement, 255);
        b.data = raw.substr(3, 128);
        if (crc) {
            const std::uint16_t value = ReferenceCrc(b.data);
            EXPECT_EQ(static_cast<std::uint8_t>(raw[131]), value >> 8);
            EXPECT_EQ(static_cast<std::uint8_t>(raw[132]), value & 0xFF);
        } else {
            std::uint8_t sum = 0;
            for (const char ch : b.data) {
                sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(ch));
            }
            EXPECT_EQ(static_cast<std::uint8_t>(raw[131]), sum);
        }
        return b;
    }
    // A receiver that accepts everything: the start signal, each block in
    // order, then the EOT. Returns the data fields as received.
    std::string ReceiveAll(bool crc, std::vector<std::int32_t>* progress = nullptr) {
        Send(crc ? "C" : "\x15");
        std::string data;
        for (unsigned expected = 1;; ++expected) {
            const std::string first = Take(1);
            if (first != "\x01") {
                EXPECT_EQ(first, "\x04");  // EOT
                Send("\x06");
                return data;
            }
            if (progress != nullptr) {
                progress->push_back(GetTransferProgress());  // the previous block's ACK counted
            }
            const std::string rest = Take(crc ? 132 : 131);
            if (rest.size() != (crc ? 132U : 131U) ||
                static_cast<std::uint8_t>(rest[0]) != (expected & 0xFF)) {
                ADD_FAILURE() << "block " << expected << " numbered " << int(rest[0]);
                return data;
            }
            data += rest.substr(2, 128);
            Send("\x06");
        }
    }

    // The last block acknowledged: one EOT follows, and once that is
    // acknowledged too the sender reports the bytes it sent.
    void EndAfterLastBlock(int sent) {
        Send("\x06");
        EXPECT_EQ(Take(1), "\x04");
        Send("\x06");
        EXPECT_EQ(Result(), sent);
    }

    std::atomic<int> stop_{0};
    std::vector<std::uint8_t> image_;
    std::future<int> result_;
};

TEST(xmodem_Crc, CheckValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16Update(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()),
              0x31C3);
    const std::vector<std::uint8_t> zeros(128, 0);
    EXPECT_EQ(Crc16Update(zeros.data(), zeros.size()), 0x0000);
    const std::vector<std::uint8_t> image = Pattern(1000);
    EXPECT_EQ(Crc16Update(image.data(), image.size()),
              ReferenceCrc(std::string(image.begin(), image.end())));
}

// Short blocks: the chunk, one SUB, then zeros; full blocks carry no marker and
// no extra block follows them.
TEST_F(xmodem_Sender, LastBlockIsClearedWithOneEndMarker) {
    Start(Pattern(129));
    Send("C");
    const Block first = TakeBlock(true);
    EXPECT_EQ(first.number, 1);
    const std::vector<std::uint8_t> image = Pattern(129);
    EXPECT_EQ(first.data, std::string(image.begin(), image.begin() + 128));
    Send("\x06");
    const Block second = TakeBlock(true);
    EXPECT_EQ(second.number, 2);
    EXPECT_EQ(second.data, std::string(1, char(image[128])) + '\x1A' + std::string(126, '\0'));
    EndAfterLastBlock(256);
}

TEST_F(xmodem_Sender, ChecksumVariantForANakStart) {
    Start(Pattern(1));
    Send("\x15");
    const Block b = TakeBlock(false);
    EXPECT_EQ(b.data, std::string(1, char(Pattern(1)[0])) + '\x1A' + std::string(126, '\0'));
    EndAfterLastBlock(128);
    EXPECT_EQ(GetTransferProgress(), 128 * 1000);  // a whole block for one byte
}

TEST_F(xmodem_Sender, SizesOfNoneAndOneFullBlock) {
    Start({});
    EXPECT_EQ(ReceiveAll(true), "");  // straight to EOT
    EXPECT_EQ(Result(), 0);

    Start(Pattern(128));
    const std::string data = ReceiveAll(false);
    EXPECT_EQ(data, std::string(image_.begin(), image_.end()));
    EXPECT_EQ(Result(), 128);
    EXPECT_EQ(GetTransferProgress(), 1000);
}

// 257 blocks: the number wraps to 0 after 255; the 1000-byte rule of the
// progress (whole blocks counted) holds for a size that is not a multiple.
TEST_F(xmodem_Sender, BlockNumbersWrapAndProgressCountsWholeBlocks) {
    Start(Pattern(256 * 128 + 1));
    Send("C");
    for (int i = 1; i <= 257; ++i) {
        const Block b = TakeBlock(true);
        ASSERT_EQ(b.number, i & 0xFF) << "block " << i;
        if (i == 256) {
            EXPECT_EQ(b.complement, 0xFF);
        }
        if (i == 257) {
            EXPECT_EQ(b.number, 0x01);
            EXPECT_EQ(b.complement, 0xFE);
        }
        Send("\x06");
    }
    EXPECT_EQ(Take(1), "\x04");
    Send("\x06");
    EXPECT_EQ(Result(), 257 * 128);

    Start(Pattern(1000));
    ReceiveAll(true);
    EXPECT_EQ(Result(), 1024);
    EXPECT_EQ(GetTransferProgress(), 1024);
}

// Past 2,147,483 bytes a 32-bit product of bytes sent and 1000 overflows.
TEST_F(xmodem_Sender, ProgressOfALargeImageRisesToExactly1000) {
    constexpr std::int64_t kSize = 3'000'000;
    Start(Pattern(kSize));
    std::vector<std::int32_t> progress;
    const std::string data = ReceiveAll(true, &progress);
    const int result = Result();
    EXPECT_EQ(result, 23438 * 128);
    ASSERT_EQ(progress.size(), 23438U);
    for (std::size_t k = 0; k < progress.size(); ++k) {
        // Seen when block k+1 arrives: k blocks acknowledged.
        ASSERT_EQ(progress[k], static_cast<std::int32_t>(k * 128 * 1000 / kSize)) << "block " << k;
    }
    EXPECT_EQ(GetTransferProgress(), 1000);
    EXPECT_EQ(data.substr(0, kSize), std::string(image_.begin(), image_.end()));
}

// Sixteen bytes that start nothing use up the sixteen attempts without waiting
// for time-outs; fifteen leave one attempt for the start signal.
TEST_F(xmodem_Sender, StartPhaseCountsStrayBytesAsAttempts) {
    Send(std::string(15, 'x'));
    Start(Pattern(10));
    EXPECT_EQ(ReceiveAll(true).substr(0, 10), std::string(image_.begin(), image_.end()));
    EXPECT_EQ(Result(), 128);

    const auto start = Clock::now();
    Send(std::string(16, 'x'));
    Start(Pattern(10));
    EXPECT_EQ(Result(), kTransferNoStartSignal);
    EXPECT_LT(Clock::now() - start, 16s);  // not 16 x 2 s
    EXPECT_EQ(pty_->Drain(), kCan3);
}

TEST_F(xmodem_Sender, TwoCansCancelWithAnAckInEitherPhase) {
    Start(Pattern(300));
    Send("\x18\x18");
    EXPECT_EQ(Result(), kTransferCancelledByReceiver);
    EXPECT_EQ(pty_->Drain(), "\x06");

    Start(Pattern(300));
    Send("C");
    TakeBlock(true);
    Send("\x06");
    TakeBlock(true);
    Send("\x18\x18");
    EXPECT_EQ(Result(), kTransferCancelledByReceiver);
    EXPECT_EQ(pty_->Drain(), "\x06");
    EXPECT_EQ(GetTransferProgress(), 128 * 1000 / 300);
}

// A lone CAN, a late start signal and a NAK each cost one attempt: the same
// block goes again with the same number.
TEST_F(xmodem_Sender, BlockIsResentAfterAnythingButAck) {
    Start(Pattern(200));
    Send("C");
    const Block b = TakeBlock(true);
    for (const char* reply : {"\x18", "C", "\x15", "\x15"}) {
        Send(reply);
        const Block again = TakeBlock(true);
        EXPECT_EQ(again.number, 1) << int(reply[0]);
        EXPECT_EQ(again.data, b.data);
    }
    Send("\x06");  // the fifth send is still in time
    EXPECT_EQ(TakeBlock(true).number, 2);
    EndAfterLastBlock(256);
}

TEST_F(xmodem_Sender, FiveRefusalsOfABlockCancel) {
    Start(Pattern(200));
    Send("\x15");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(TakeBlock(false).number, 1);
        Send("\x15");
    }
    EXPECT_EQ(Result(), kTransferBlockNotAcknowledged);
    EXPECT_EQ(pty_->Drain(), kCan3);
    EXPECT_EQ(GetTransferProgress(), 0);
}

// A NAK behind the first EOT may still be the last block's answer: the block
// goes again before the end is asked for again, ten EOTs in all.
TEST_F(xmodem_Sender, EndIsSentTenTimesAtMost) {
    for (const bool tenthAnswered : {true, false}) {
        Start(Pattern(5));
        Send("C");
        const Block b = TakeBlock(true);
        Send("\x06");
        ASSERT_EQ(Take(1), "\x04");
        Send("\x15");
        const Block again = TakeBlock(true);
        EXPECT_EQ(again.number, 1);
        EXPECT_EQ(again.data, b.data);
        Send("\x06");
        for (int i = 1; i < 9; ++i) {
            ASSERT_EQ(Take(1), "\x04");
            Send("\x15");
        }
        ASSERT_EQ(Take(1), "\x04");
        Send(tenthAnswered ? "\x06" : "\x15");
        if (tenthAnswered) {
            EXPECT_EQ(Result(), 128);
        } else {
            EXPECT_EQ(Result(), kTransferEndNotAcknowledged);
            EXPECT_EQ(pty_->ReadFor(200ms), "");  // neither CAN nor anything else
        }
    }
}

TEST_F(xmodem_Sender, StopFlagEndsTheTransferWithoutAWord) {
    Start(Pattern(1));
    ReceiveAll(true);
    ASSERT_EQ(Result(), 128);
    ASSERT_GT(GetTransferProgress(), 0);

    stop_ = 1;
    Start(Pattern(1));
    Send("C");
    EXPECT_EQ(Result(), kTransferStopped);
    EXPECT_EQ(GetTransferProgress(), 0);
    EXPECT_EQ(pty_->ReadFor(200ms), "");

    // Raised while a block waits for its ACK: the next check point stops.
    stop_ = 0;
    pty_->ReadFor(50ms);
    Start(Pattern(1000));
    TakeBlock(true);  // "C" is still waiting in the sender's input
    Send("\x06");
    TakeBlock(true);
    stop_ = 1;
    Send("\x06");
    EXPECT_EQ(Result(), kTransferStopped);
    EXPECT_EQ(GetTransferProgress(), 256);
    EXPECT_EQ(pty_->ReadFor(200ms), "");
}

// A receiver that never falls silent cannot keep the sender in its drain.
TEST_F(xmodem_Sender, DrainGivesUpOnAReceiverThatKeepsTalking) {
    Start(Pattern(1));
    std::atomic<bool> done{false};
    auto chatter = std::async(std::launch::async, [&] {
        while (!done) {
            Send("x");
            std::this_thread::sleep_for(100ms);
        }
    });
    const auto start = Clock::now();
    EXPECT_EQ(Result(), kTransferNoStartSignal);
    done = true;
    chatter.get();
    EXPECT_LT(Clock::now() - start, 14s);
}

}  // namespace
