// Following the log pane on stdout: bytes to a pipe, decoded text on a
// terminal, and a lost character erased where it was shown.
#include "cli/LogOutput.h"

#include <gtest/gtest.h>

#include <sstream>

#include "cli/TransferProgress.h"
#include "framework/Language.h"

namespace {

TEST(LogOutput, AFileGetsTheDeviceBytesAndAnEraseForEachLostCharacter) {
    std::ostringstream out;
    cli::LogOutput log(out, false, fw::Language::Chinese);
    log.Follow("ab\xD6");
    log.Follow("ab\xD6\xD0");  // GB18030 "中" complete
    log.Follow("ab");          // the device's backspace took the whole character
    log.Follow("abc");
    EXPECT_EQ(out.str(), "ab\xD6\xD0\b \bc");
}

TEST(LogOutput, ATerminalGetsWholeCharactersDecoded) {
    std::ostringstream out;
    cli::LogOutput log(out, true, fw::Language::Chinese);
    log.Follow("x\xD6");
    EXPECT_EQ(out.str(), "x");  // half a character is held back
    log.Follow("x\xD6\xD0");
    EXPECT_EQ(out.str(), "x\xE4\xB8\xAD");
    log.Follow("x\xD6\xD0\xD6");
    log.Follow("x\xD6\xD0");  // the held half goes without an erase
    log.Follow("x");
    EXPECT_EQ(out.str(), "x\xE4\xB8\xAD\b \b");
}

TEST(LogOutput, ATerminalInEnglishShowsWindows1252AsUtf8) {
    std::ostringstream out;
    cli::LogOutput log(out, true, fw::Language::English);
    log.Follow("caf\xE9\r\n");
    EXPECT_EQ(out.str(), "caf\xC3\xA9\r\n");
}

TEST(TransferStatus, FiguresFollowTheBytesAndTheTime) {
    const fw::Language saved = fw::CurrentLanguage();
    fw::SetLanguage(fw::Language::English);
    EXPECT_EQ(cli::FormatTransferStatus(0, 1000, 0.0),
              "[------------------------] 0%  0/1000 bytes  - KB/s  - left");
    // 1024 of 4096 bytes in 2 s: 0.5 KB/s, 6 s to go.
    EXPECT_EQ(cli::FormatTransferStatus(1024, 4096, 2.0),
              "[######------------------] 25%  1024/4096 bytes  0.5 KB/s  0:06 left");
    // Never past the whole image.
    EXPECT_EQ(cli::FormatTransferStatus(5000, 4096, 4.0).substr(0, 31),
              "[########################] 100%");
    fw::SetLanguage(saved);
}

}  // namespace
