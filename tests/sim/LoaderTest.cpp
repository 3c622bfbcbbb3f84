// The boot loader, its XMODEM receiver and the application's debug output, in
// the device model with injected time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DefaultTable.h"
#include "Device.h"
#include "EventRecorder.h"
#include "XmodemSender.h"
#include "common/Sha256.h"

namespace kavrelsim {
namespace {

using std::chrono::milliseconds;
using namespace testing;

TEST(KavrelsimChecks, Sha256AndCrcKnownAnswers) {
    EXPECT_EQ(common::Sha256::HexDigest(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(common::Sha256::HexDigest("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block.
    EXPECT_EQ(common::Sha256::HexDigest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    common::Sha256 h;
    for (int i = 0; i < 1000; ++i) {
        h.Update(std::string(1000, 'a'));
    }
    auto d = h.Finish();
    EXPECT_EQ(d[0], 0xcd);
    EXPECT_EQ(d[1], 0xc7);
    EXPECT_EQ(d[31], 0xd0);
    EXPECT_EQ(Crc16Xmodem("123456789"), 0x31C3);
    EXPECT_EQ(Crc16Xmodem(std::string(128, '\0')), 0x0000);
}

class KavrelsimLoader : public ::testing::Test {
protected:
    Device& Make(StartSignal start = StartSignal::kNak, Faults faults = {},
                 DebugScript debug = {}) {
        DeviceOptions o;
        o.echo = false;
        o.loader.start = start;
        o.debug = std::move(debug);
        device_.emplace(std::move(o), DefaultTable(Language::kEnglish), std::move(faults),
                        recorder_.Sink());
        device_->SetFirmwareHandler([this](const std::string& image) { images_.push_back(image); });
        device_->PowerOn(milliseconds(0));
        return *device_;
    }
    std::string Say(std::string_view bytes, milliseconds now) {
        device_->Receive(bytes, kConsoleLine, now);
        return device_->TakeOutput(now, std::string::npos, kConsoleLine);
    }
    std::string At(milliseconds now) {
        return device_->TakeOutput(now, std::string::npos, kConsoleLine);
    }
    // Breaks in at 300 ms and answers banner and menu; returns what follows "y\r".
    std::string ToReceiver() {
        std::string banner = Say("uuuuu", milliseconds(300));
        EXPECT_GT(banner.size(), 5u);
        EXPECT_TRUE(banner.ends_with("\r\n")) << banner;
        EXPECT_EQ(banner.find("[Y/N]"), std::string::npos);
        EXPECT_TRUE(Say("\r", milliseconds(400)).ends_with("[Y/N]"));
        return Say("y\r", milliseconds(500));
    }
    Json Last(std::string_view name) {
        auto all = recorder_.Named(name);
        return all.empty() ? Json() : all.back();
    }

    std::optional<Device> device_;
    EventRecorder recorder_;
    std::vector<std::string> images_;
};

TEST_F(KavrelsimLoader, BreakInDialogueThenNakEverySecond) {
    Make(StartSignal::kNak);
    EXPECT_EQ(Say("\r", milliseconds(100)), "");  // no banner to answer yet
    std::string ready = ToReceiver();
    ASSERT_FALSE(ready.empty());
    EXPECT_EQ(ready.back(), kNak);
    EXPECT_TRUE(device_->InBootLoader());
    EXPECT_EQ(device_->Mode(), DeviceMode::kBootLoader);
    EXPECT_EQ(At(milliseconds(1499)), "");
    EXPECT_EQ(At(milliseconds(1500)), std::string(1, kNak));
    EXPECT_EQ(At(milliseconds(2500)), std::string(1, kNak));
    // The application does not run: AT commands at its rate go nowhere.
    device_->Receive("AT+TEST\r", kCommandLine, milliseconds(2600));
    EXPECT_EQ(device_->TakeOutput(milliseconds(2600)), "");
    EXPECT_EQ(Last("line-rate-mismatch")["expected_baud"], 115200);
}

TEST_F(KavrelsimLoader, CrcReceiverSendsOneNakThenC) {
    Make(StartSignal::kCrc);
    EXPECT_EQ(ToReceiver().back(), kNak);
    EXPECT_EQ(At(milliseconds(1500)), "C");
    EXPECT_EQ(At(milliseconds(2500)), "C");
    EXPECT_EQ(Last("loader")["start"], "crc");
}

TEST_F(KavrelsimLoader, WindowClosesAfterItsTimeAndTheApplicationRuns) {
    Make();
    // The AT interpreter listens during the loader's window as well.
    device_->Receive("AT+TEST\r", kCommandLine, milliseconds(200));
    EXPECT_EQ(device_->TakeOutput(milliseconds(200)), "OK\r\n");
    EXPECT_EQ(Say("u", milliseconds(1000)), "");
    EXPECT_FALSE(device_->InBootLoader());
    EXPECT_TRUE(recorder_.Named("loader").empty());
    EXPECT_EQ(Last("line-rate-mismatch")["baud"], 115200);
}

TEST_F(KavrelsimLoader, MenuWantsYesOrNo) {
    Make();
    Say("u", milliseconds(100));
    Say("\r", milliseconds(200));
    EXPECT_TRUE(Say("x\r", milliseconds(300)).ends_with("[Y/N]"));
    EXPECT_EQ(Say("\r", milliseconds(350)), "");
    EXPECT_NE(Say("n\r", milliseconds(400)).find("Booting"), std::string::npos);
    EXPECT_FALSE(device_->InBootLoader());
    device_->Receive("AT+TEST\r", kCommandLine, milliseconds(500));
    EXPECT_EQ(device_->TakeOutput(milliseconds(500)), "OK\r\n");
}

TEST_F(KavrelsimLoader, DialogueTimesOutIntoTheApplication) {
    Make();
    Say("u", milliseconds(100));
    EXPECT_TRUE(device_->InBootLoader());
    At(milliseconds(100) + BootLoader::kDialogueTimeout);
    EXPECT_FALSE(device_->InBootLoader());
    EXPECT_EQ(Last("loader")["step"], "timeout");
}

TEST_F(KavrelsimLoader, ReceivesBothVariantsAndRebootsWithTheImage) {
    for (bool crc : {false, true}) {
        SCOPED_TRACE(crc ? "crc" : "checksum");
        recorder_.events.clear();
        images_.clear();
        Make(crc ? StartSignal::kCrc : StartSignal::kNak);
        ToReceiver();
        milliseconds now(1500);
        EXPECT_EQ(At(now), crc ? "C" : std::string(1, kNak));
        const std::string image = Image(1000);  // not a whole number of blocks
        for (int n = 1; n <= 8; ++n) {
            now += milliseconds(20);
            EXPECT_EQ(Say(Block(n, std::string_view(image).substr((n - 1) * 128, 128), crc), now),
                      std::string(1, kAck))
                << n;
        }
        EXPECT_EQ(Say(std::string(1, kEot), now), std::string(1, kAck));
        ASSERT_EQ(images_.size(), 1u);
        EXPECT_EQ(images_[0], Padded(image));
        Json f = Last("firmware");
        EXPECT_EQ(f["size"], 1024);
        EXPECT_EQ(f["blocks"], 8);
        EXPECT_EQ(f["variant"], crc ? "crc" : "checksum");
        EXPECT_EQ(f["sha256"], common::Sha256::HexDigest(Padded(image)));
        // It starts again: a new loader window, then the application.
        At(now + BootLoader::kRebootDelay);
        EXPECT_FALSE(device_->InBootLoader());
        ASSERT_FALSE(Last("reboot").is_null());
        EXPECT_EQ(Say("u", now + milliseconds(300)).substr(0, 2), "\r\n");
        EXPECT_TRUE(device_->InBootLoader());
    }
}

TEST_F(KavrelsimLoader, BadBlocksAreNakedAndRepeatsStoredOnce) {
    Make(StartSignal::kCrc);
    ToReceiver();
    // The first NAK went to the hand-shake; the sender starts on the 'C'.
    EXPECT_EQ(At(milliseconds(1500)), "C");
    milliseconds now(1600);
    const std::string image = Image(300);
    std::string one = Block(1, std::string_view(image).substr(0, 128), true);
    std::string wrongCrc = one;
    wrongCrc[132] ^= 0x01;
    EXPECT_EQ(Say(wrongCrc, now), std::string(1, kNak));
    std::string wrongComplement = one;
    wrongComplement[2] = '\xFF';
    EXPECT_EQ(Say(wrongComplement, now), std::string(1, kNak));
    std::string wrongData = one;
    wrongData[50] ^= 0x40;
    EXPECT_EQ(Say(wrongData, now), std::string(1, kNak));
    EXPECT_EQ(Last("xmodem")["reason"], "CRC wrong");
    // A block in two pieces is one block; the repeat of it is acknowledged
    // but not stored again.
    EXPECT_EQ(Say(one.substr(0, 60), now), "");
    EXPECT_EQ(Say(one.substr(60), now), std::string(1, kAck));
    EXPECT_EQ(Say(one, now), std::string(1, kAck));
    EXPECT_EQ(Last("xmodem")["result"], "repeat");
    // Noise between blocks is ignored.
    EXPECT_EQ(Say("\x55", now), "");
    EXPECT_EQ(Say(Block(2, std::string_view(image).substr(128, 128), true), now),
              std::string(1, kAck));
    EXPECT_EQ(Say(Block(3, std::string_view(image).substr(256), true), now), std::string(1, kAck));
    EXPECT_EQ(Say(std::string(1, kEot), now), std::string(1, kAck));
    ASSERT_EQ(images_.size(), 1u);
    EXPECT_EQ(images_[0], Padded(image));
    EXPECT_EQ(Last("firmware")["repeats"], 1);
    EXPECT_EQ(Last("firmware")["naks"], 3);
}

TEST_F(KavrelsimLoader, ChecksumVariantRejectsAWrongSum) {
    Make(StartSignal::kNak);
    ToReceiver();
    std::string one = Block(1, "firmware", false);
    one[131] = static_cast<char>(one[131] + 1);
    EXPECT_EQ(Say(one, milliseconds(1400)), std::string(1, kNak));
    EXPECT_EQ(Last("xmodem")["reason"], "checksum wrong");
    EXPECT_EQ(Say(Block(1, "firmware", false), milliseconds(1450)), std::string(1, kAck));
}

TEST_F(KavrelsimLoader, BlockOutOfSequenceEndsTheTransfer) {
    Make();
    ToReceiver();
    EXPECT_EQ(Say(Block(2, "x", false), milliseconds(1400)), std::string(2, kCan));
    EXPECT_NE(Last("firmware-aborted")["reason"].get<std::string>().find("out of sequence"),
              std::string::npos);
    EXPECT_TRUE(images_.empty());
}

TEST_F(KavrelsimLoader, SenderCancelsWithCans) {
    Make();
    ToReceiver();
    EXPECT_EQ(Say(Block(1, "x", false), milliseconds(1400)), std::string(1, kAck));
    EXPECT_EQ(Say(std::string(1, kCan), milliseconds(1450)), "");
    EXPECT_TRUE(recorder_.Named("firmware-aborted").empty());  // one CAN may be noise
    EXPECT_EQ(Say(std::string(3, kCan), milliseconds(1800)), "");
    EXPECT_EQ(Last("firmware-aborted")["reason"], "cancelled by the sender");
    EXPECT_TRUE(images_.empty());
    At(milliseconds(1800) + BootLoader::kRebootDelay);
    EXPECT_FALSE(Last("reboot").is_null());
}

TEST_F(KavrelsimLoader, TimeOutsWithinAndBetweenBlocks) {
    Make();
    ToReceiver();
    std::string one = Block(1, "x", false);
    Say(one.substr(0, 10), milliseconds(1600));
    // The rest of the block never comes: it is given up and asked for again.
    EXPECT_EQ(At(milliseconds(1600) + BootLoader::kByteTimeout), std::string(1, kNak));
    EXPECT_EQ(Last("xmodem")["reason"], "block incomplete");
    EXPECT_EQ(Say(one, milliseconds(3000)), std::string(1, kAck));
    EXPECT_EQ(At(milliseconds(3000) + BootLoader::kBlockTimeout), std::string(1, kNak));
    EXPECT_EQ(Last("xmodem")["reason"], "sender silent");
}

TEST_F(KavrelsimLoader, EmptyImageIsJustEot) {
    Make();
    ToReceiver();
    EXPECT_EQ(Say(std::string(1, kEot), milliseconds(1400)), std::string(1, kAck));
    ASSERT_EQ(images_.size(), 1u);
    EXPECT_EQ(images_[0], "");
    EXPECT_EQ(Last("firmware")["blocks"], 0);
}

TEST_F(KavrelsimLoader, StartSignalsGiveUp) {
    Make();
    ToReceiver();
    std::string signals = At(milliseconds(500) + 60 * milliseconds(1000));
    EXPECT_EQ(signals, std::string(BootLoader::kMaxStartSignals - 1, kNak));
    EXPECT_FALSE(device_->InBootLoader());
    EXPECT_EQ(Last("firmware-aborted")["reason"], "no sender");
}

TEST_F(KavrelsimLoader, BlockNumbersWrapAfter255) {
    Make(StartSignal::kCrc);
    ToReceiver();
    const std::string image = Image(257 * 128);
    // The first NAK went to the hand-shake; the sender starts on the 'C'.
    EXPECT_EQ(At(milliseconds(1500)), "C");
    milliseconds now(1600);
    for (int n = 1; n <= 257; ++n) {
        ASSERT_EQ(Say(Block(n, std::string_view(image).substr((n - 1) * 128, 128), true), now),
                  std::string(1, kAck))
            << n;
    }
    // Block 256 went as number 0; the repeat of block 257 (number 1) is not
    // taken for block 1 of a new round.
    EXPECT_EQ(Say(Block(257, std::string_view(image).substr(256 * 128), true), now),
              std::string(1, kAck));
    EXPECT_EQ(Say(std::string(1, kEot), now), std::string(1, kAck));
    ASSERT_EQ(images_.size(), 1u);
    EXPECT_EQ(images_[0], image);
}

TEST_F(KavrelsimLoader, FaultsActOnceOnTheirBlock) {
    Faults f;
    f.garbleBlock = 1;
    f.nakBlock = 2;
    f.dropAck = 3;
    Make(StartSignal::kNak, f);
    ToReceiver();
    const std::string image = Image(4 * 128);
    auto block = [&](int n) {
        return Block(n, std::string_view(image).substr((n - 1) * 128, 128), false);
    };
    milliseconds now(1400);
    EXPECT_EQ(Say(block(1), now), std::string(1, kNak));
    EXPECT_EQ(Last("xmodem")["reason"], "garbled (--garble-block)");
    EXPECT_EQ(Say(block(1), now), std::string(1, kAck));
    EXPECT_EQ(Say(block(2), now), std::string(1, kNak));
    EXPECT_EQ(Say(block(2), now), std::string(1, kAck));
    EXPECT_EQ(Say(block(3), now), "");  // stored, ACK lost
    EXPECT_EQ(Say(block(3), now), std::string(1, kAck));
    EXPECT_EQ(Say(block(4), now), std::string(1, kAck));
    EXPECT_EQ(Say(std::string(1, kEot), now), std::string(1, kAck));
    ASSERT_EQ(images_.size(), 1u);
    EXPECT_EQ(images_[0], image);
    EXPECT_EQ(Last("firmware")["repeats"], 1);
}

TEST_F(KavrelsimLoader, CancelAtBlock) {
    Faults f;
    f.cancelAtBlock = 2;
    Make(StartSignal::kNak, f);
    ToReceiver();
    EXPECT_EQ(Say(Block(1, Image(128), false), milliseconds(1400)), std::string(1, kAck));
    EXPECT_EQ(Say(Block(2, "x", false), milliseconds(1400)), std::string(2, kCan));
    Json a = Last("firmware-aborted");
    EXPECT_EQ(a["reason"], "--cancel-at-block");
    EXPECT_EQ(a["blocks"], 1);
    EXPECT_TRUE(images_.empty());
    // The sender's ACK for the cancel reaches the next loader window harmlessly.
    At(milliseconds(1400) + BootLoader::kRebootDelay);
    EXPECT_EQ(Say(std::string(1, kAck), milliseconds(1800)), "");
    EXPECT_FALSE(device_->InBootLoader());
}

TEST_F(KavrelsimLoader, DelayedSecondAckCrossesTheNextBlock) {
    Faults f;
    f.doubleAck = 1;
    f.doubleAckDelay = milliseconds(300);
    Make(StartSignal::kNak, f);
    ToReceiver();
    const std::string image = Image(2 * 128);
    EXPECT_EQ(Say(Block(1, image, false), milliseconds(1400)), std::string(1, kAck));
    // Block 2's own ACK waits behind the late one: the sender's next ACK is not block 2's.
    EXPECT_EQ(Say(Block(2, std::string_view(image).substr(128), false), milliseconds(1420)), "");
    EXPECT_EQ(At(milliseconds(1699)), "");
    EXPECT_EQ(At(milliseconds(1700)), std::string(2, kAck));
    EXPECT_EQ(Say(std::string(1, kEot), milliseconds(1750)), std::string(1, kAck));
    ASSERT_EQ(images_.size(), 1u);
    EXPECT_EQ(images_[0], image);
}

// The loader of the finding: block 1 acknowledged twice, the first EOT NAKed.
// Only a sender that answers the NAK with another EOT has delivered anything.
class KavrelsimEotNak : public KavrelsimLoader, public ::testing::WithParamInterface<bool> {};

TEST_P(KavrelsimEotNak, OnlyASecondEotStoresTheImage) {
    Faults f;
    f.doubleAck = 1;
    f.eotNak = true;
    Make(StartSignal::kNak, f);
    ToReceiver();
    const std::string image = Image(2 * 128);
    const milliseconds now(1400);
    EXPECT_EQ(Say(Block(1, image, false), now), std::string(2, kAck));
    EXPECT_EQ(Say(Block(2, std::string_view(image).substr(128), false), now), std::string(1, kAck));
    EXPECT_EQ(Say(std::string(1, kEot), now), std::string(1, kNak));
    EXPECT_TRUE(images_.empty());
    if (GetParam()) {
        EXPECT_EQ(Say(std::string(1, kEot), now), std::string(1, kAck));
        ASSERT_EQ(images_.size(), 1u);
        EXPECT_EQ(images_[0], image);
        return;
    }
    // Asked for again while it waits, the end never comes, and the loader gives up.
    EXPECT_EQ(At(now + BootLoader::kBlockTimeout), std::string(1, kNak));
    At(now + (BootLoader::kMaxSilentNaks + 1) * BootLoader::kBlockTimeout);
    EXPECT_NE(Last("firmware-aborted")["reason"].get<std::string>().find("nothing stored"),
              std::string::npos);
    EXPECT_TRUE(images_.empty());
    EXPECT_TRUE(recorder_.Named("firmware").empty());
}

INSTANTIATE_TEST_SUITE_P(SendsEotAgain, KavrelsimEotNak, ::testing::Bool());

TEST_F(KavrelsimLoader, DebugOutputAfterTheWindowOnlyAtItsRate) {
    Make(StartSignal::kNak, {},
         ParseDebugScript("+100 boot\n+50 net \\c\n+50 \\b|\\c\n@loop\n+1000 hb {uptime}\n"));
    EXPECT_EQ(At(milliseconds(1099)), "");
    EXPECT_EQ(At(milliseconds(1100)), "boot\r\n");
    EXPECT_EQ(At(milliseconds(1150)), "net ");
    EXPECT_EQ(At(milliseconds(1200)), "\b|");
    EXPECT_EQ(At(milliseconds(3200)), "hb 2.200\r\nhb 3.200\r\n");
    // A tool at the AT rate gets none of it, and its commands still work.
    device_->Receive("AT+TEST\r", kCommandLine, milliseconds(4200));
    EXPECT_EQ(device_->TakeOutput(milliseconds(4200)), "OK\r\n");
    EXPECT_EQ(Last("tx-lost")["text"], "hb 4.200\\r\\n");
    EXPECT_EQ(Last("tx-lost")["baud"], 115200);
}

TEST_F(KavrelsimLoader, DefaultDebugTextErasesWithBackspace) {
    DeviceOptions o;
    Device d(o, DefaultTable(Language::kEnglish), {}, nullptr);
    d.PowerOn(milliseconds(0));
    std::string log = d.TakeOutput(milliseconds(20000), std::string::npos, kConsoleLine);
    EXPECT_NE(log.find("Kavrel DTU KV-2.9.4"), std::string::npos) << log;
    EXPECT_NE(log.find("IMEI 860000000000001"), std::string::npos);
    EXPECT_NE(log.find("CSQ"), std::string::npos);
    EXPECT_NE(log.find('\b'), std::string::npos);
    // Nothing before the application has had time to boot.
    Device early(o, DefaultTable(Language::kEnglish), {}, nullptr);
    early.PowerOn(milliseconds(0));
    EXPECT_EQ(early.TakeOutput(milliseconds(1500), std::string::npos, kConsoleLine), "");
}

TEST(KavrelsimDebugScript, ParsesDelaysEscapesAndLoop) {
    DebugScript s =
        ParseDebugScript("# comment\n+5 a\\x41\\t\\\\\r\nplain\n\n+7 \\b\\c\n@loop\n+9 x\n");
    ASSERT_EQ(s.pieces.size(), 5u);
    EXPECT_EQ(s.pieces[0].delay, milliseconds(5));
    EXPECT_EQ(s.pieces[0].bytes, "aA\t\\\r\n");
    EXPECT_EQ(s.pieces[1].delay, milliseconds(0));
    EXPECT_EQ(s.pieces[2].bytes, "\r\n");
    EXPECT_EQ(s.pieces[3].bytes, "\b");
    EXPECT_EQ(s.loopFrom, 4u);
    EXPECT_TRUE(ParseDebugScript("").Empty());
    for (const char* bad :
         {"+x a", "+5a", "a\\q", "a\\", "\\ca", "\\x4", "@loop\nx\n", "@loop\n+1 a\n@loop\n"}) {
        EXPECT_THROW(ParseDebugScript(bad), std::invalid_argument) << bad;
    }
    EXPECT_EQ(ExpandDebugPiece("{imei}/{version}/{uptime}/{x}", "8600", "V1", milliseconds(61005)),
              "8600/V1/61.005/{x}");
}

}  // namespace
}  // namespace kavrelsim
