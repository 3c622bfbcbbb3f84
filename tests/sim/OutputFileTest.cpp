// The simulator's own files (--state, --firmware-out) are written as the
// tool's are: whatever is at the path that is not a regular file stays what
// it was, and a FIFO nobody reads does not hold the device up.
#include "OutputFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "PseudoTerminal.h"
#include "TempDir.h"

namespace kavrelsim {
namespace {

namespace fs = std::filesystem;

class KavrelsimOutputFile : public ::testing::Test {
protected:
    // The node at the path itself, not what a link there names.
    static struct stat Node(const fs::path& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        return st;
    }
    bool Write(const fs::path& path) { return WriteOutputFile(path.string(), "image", &error_); }

    testsupport::TempDir dir_;
    std::string error_;
};

TEST_F(KavrelsimOutputFile, AFifoIsWrittenOnlyWhenReadAndStaysAFifo) {
    const fs::path fifo = dir_.Path() / "image.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(Write(fifo));  // at once: nobody reads it
    EXPECT_NE(error_.find("nobody reads"), std::string::npos) << error_;
    EXPECT_FALSE(IsLoadableFile(fifo.string()));
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(Write(fifo)) << error_;
    char got[8] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 5);
    ::close(reader);
    EXPECT_TRUE(S_ISFIFO(Node(fifo).st_mode));
}

// As --firmware-out naming /dev/stdout: the link stays, the terminal gets the bytes.
TEST_F(KavrelsimOutputFile, ThroughALinkATerminalIsWrittenInPlace) {
    testsupport::PseudoTerminal pty;
    const fs::path link = dir_.Path() / "out";
    fs::create_symlink(pty.SlavePath(), link);
    ASSERT_TRUE(Write(link)) << error_;
    EXPECT_EQ(pty.ReadUntil("image", std::chrono::milliseconds(1000)), "image");
    EXPECT_EQ(fs::read_symlink(link), pty.SlavePath());
    EXPECT_TRUE(S_ISCHR(Node(pty.SlavePath()).st_mode));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), {}), 1);
}

}  // namespace
}  // namespace kavrelsim
