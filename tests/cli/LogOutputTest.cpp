// The debug log streamed with a bounded memory: the saved file holds what the
// pane would hold, the stream on a pipe is what following the pane gave, and
// neither changes when erases reach back past what memory keeps.
#include "cli/LogOutput.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "LanguageForTheTest.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "cli/TransferProgress.h"
#include "framework/Language.h"
#include "framework/RichEditCtrl.h"

namespace {

using testsupport::ReadFile;

namespace fs = std::filesystem;

// The pane as the desktop keeps it, whole, and what following it on a pipe
// gave: the bytes added, and "\b \b" for each character it lost.
struct Reference {
    fw::CRichEditCtrl pane;
    std::string piped;

    void Append(std::string_view bytes) {
        pane.AppendBytes(bytes);
        piped += bytes;
    }
    void Erase() {
        if (!pane.IsEmpty()) {
            piped += "\b \b";
        }
        pane.DeleteLastCharacter();
    }
};

// Bytes that make the Chinese code page's rule work hard: lead bytes,
// digits that turn a character into four bytes, bytes below 0x30 that end a
// run, plain letters.
std::string RandomChunk(std::mt19937& random) {
    static constexpr unsigned char kBytes[] = {'\r', '\n', ' ',  ',',  '0',  '5',  '9',  'A',
                                               'z',  0x81, 0xB0, 0xD6, 0xD0, 0xFE, 0xFF, 0x80};
    std::string chunk(1 + random() % 12, '\0');
    for (char& c : chunk) {
        c = static_cast<char>(kBytes[random() % sizeof kBytes]);
    }
    return chunk;
}

struct Stream {
    fw::Language language;
    bool saved;        // with --output
    std::size_t keep;  // what memory holds
    int eraseShare;    // of 100 chunks, how many are erases
};

class LogStreaming : public ::testing::TestWithParam<Stream> {};

TEST_P(LogStreaming, MatchesThePaneWhateverTheErasesReachBackTo) {
    const Stream& p = GetParam();
    const testsupport::LanguageForTheTest language(p.language);
    testsupport::TempDir dir;
    const fs::path path = dir.Path() / "log.txt";
    cli::LogFile file;
    ASSERT_TRUE(file.Open(path.string()));
    std::ostringstream out;
    cli::LogOutput log(out, false, p.language, p.saved ? &file : nullptr, p.keep);
    Reference reference;
    std::mt19937 random(20261208);
    // Runs of writing and runs of erasing, so that erases cross the places
    // where memory was cut, often many cuts back, and empty the log too.
    for (int round = 0; round < 60; ++round) {
        const bool erasing = static_cast<int>(random() % 100) < p.eraseShare;
        const int steps = 1 + static_cast<int>(random() % 80);
        for (int i = 0; i < steps; ++i) {
            if (erasing) {
                reference.Erase();
                log.EraseLastCharacter();
            } else {
                const std::string chunk = RandomChunk(random);
                reference.Append(chunk);
                log.Append(chunk);
            }
        }
        ASSERT_LE(log.HeldBytes(), 2 * std::max<std::size_t>(p.keep, 8) + 12);
        if (p.saved) {
            ASSERT_EQ(ReadFile(path), reference.pane.GetTextBytes()) << "round " << round;
        }
        ASSERT_EQ(out.str(), reference.piped) << "round " << round;
    }
    EXPECT_TRUE(file.Close());
}

INSTANTIATE_TEST_SUITE_P(Logs, LogStreaming,
                         ::testing::Values(Stream{fw::Language::Chinese, true, 8, 45},
                                           Stream{fw::Language::Chinese, false, 8, 45},
                                           Stream{fw::Language::Chinese, true, 64, 30},
                                           Stream{fw::Language::Chinese, false, 64, 55},
                                           Stream{fw::Language::English, true, 8, 45},
                                           Stream{fw::Language::English, false, 64, 45}));

TEST(LogOutput, ALongRunStaysInBoundsAndTheFileHoldsItAll) {
    const testsupport::LanguageForTheTest language(fw::Language::Chinese);
    testsupport::TempDir dir;
    const fs::path path = dir.Path() / "log.txt";
    cli::LogFile file;
    ASSERT_TRUE(file.Open(path.string()));
    std::ostringstream out;
    cli::LogOutput log(out, false, fw::Language::Chinese, &file, 1024);
    // Double-byte characters without a byte below 0x30 for a megabyte: a
    // cut must still be found, and found in step.
    const std::string line(250, '\xD6');
    for (int i = 0; i < 4000; ++i) {
        log.Append(line);
        ASSERT_LE(log.HeldBytes(), 2048u + line.size());
    }
    // The erases go back far past memory, a character (two bytes) each.
    for (int i = 0; i < 2000; ++i) {
        log.EraseLastCharacter();
    }
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(fs::file_size(path), 4000u * 250 - 4000);
}

TEST(LogOutput, ATerminalGetsWholeCharactersDecoded) {
    std::ostringstream out;
    cli::LogOutput log(out, true, fw::Language::Chinese);
    log.Append("x\xD6");
    EXPECT_EQ(out.str(), "x");  // half a character is held back
    log.Append("\xD0");
    EXPECT_EQ(out.str(), "x\xE4\xB8\xAD");
    log.Append("\xD6");
    log.EraseLastCharacter();  // the held half goes without an erase
    log.EraseLastCharacter();  // a wide character: two cells back
    log.EraseLastCharacter();
    EXPECT_EQ(out.str(), "x\xE4\xB8\xAD\b\b  \b\b\b \b");
    log.EraseLastCharacter();  // nothing left to erase
    EXPECT_EQ(out.str(), "x\xE4\xB8\xAD\b\b  \b\b\b \b");
}

TEST(LogOutput, ATerminalGetsNoControlSequenceFromTheDevice) {
    std::ostringstream out;
    cli::LogOutput log(out, true, fw::Language::English);
    log.Append("caf\xE9\t\x1b]0;owned\x07\x1b[2J\r\n");
    EXPECT_EQ(out.str(), "caf\xC3\xA9\t\\x1B]0;owned\\x07\\x1B[2J\r\n");
    log.EraseLastCharacter();  // the line feed
    log.EraseLastCharacter();  // the carriage return
    log.EraseLastCharacter();  // 'J'
    log.EraseLastCharacter();  // '2'
    log.EraseLastCharacter();  // '['
    log.EraseLastCharacter();  // ESC, shown as four cells
    EXPECT_EQ(out.str().substr(out.str().size() - 12), "\b\b\b\b    \b\b\b\b");
}

TEST(LogOutput, APipeGetsTheDeviceBytesAsTheyCame) {
    std::ostringstream out;
    cli::LogOutput log(out, false, fw::Language::Chinese);
    log.Append("ab\xD6");
    log.Append("\xD0");        // GB18030 "中" split between two chunks
    log.EraseLastCharacter();  // takes the whole character
    log.Append("c\x1b");
    EXPECT_EQ(out.str(), "ab\xD6\xD0\b \bc\x1b");
}

TEST(TransferStatus, FiguresFollowTheBytesAndTheTime) {
    const testsupport::EnglishForTheTest english;
    EXPECT_EQ(cli::FormatTransferStatus(0, 1000, 0.0),
              "[------------------------] 0%  0/1000 bytes  - KB/s  - left");
    // 1024 of 4096 bytes in 2 s: 0.5 KB/s, 6 s to go.
    EXPECT_EQ(cli::FormatTransferStatus(1024, 4096, 2.0),
              "[######------------------] 25%  1024/4096 bytes  0.5 KB/s  0:06 left");
    // Never past the whole image.
    EXPECT_EQ(cli::FormatTransferStatus(5000, 4096, 4.0).substr(0, 31),
              "[########################] 100%");
}

}  // namespace
