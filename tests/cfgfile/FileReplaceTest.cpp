// A file written again keeps what the operator set on it: its other names,
// owner, mode and extended attributes; a write that fails loses the least.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "TempDir.h"
#include "cfgfile/FileIo.h"

namespace {

namespace fs = std::filesystem;

constexpr char kOld[] = "[CFG]\r\n1. a=an old value that is longer than the new one\r\n";
constexpr char kNew[] = "[CFG]\r\n1. a=new\r\n";

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct stat Stat(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

class FileReplace : public ::testing::Test {
protected:
    FileReplace() {
        std::ofstream(file_, std::ios::binary) << kOld;
        ::chmod(file_.c_str(), 0640);
    }
    bool Write(const char* bytes = kNew) { return cfgfile::ReplaceFileContents(file_, bytes); }
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_.Path()), {}));
    }

    testsupport::TempDir dir_;
    fs::path file_ = dir_.Path() / "cfg.txt";
};

TEST_F(FileReplace, AnOrdinaryFileIsRenamedOverAndKeepsItsMode) {
    const ino_t before = Stat(file_).st_ino;
    ASSERT_TRUE(Write());
    EXPECT_EQ(Read(file_), kNew);
    EXPECT_NE(Stat(file_).st_ino, before);
    EXPECT_EQ(Stat(file_).st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(FileReplace, EveryHardLinkShowsTheNewBytes) {
    const fs::path other = dir_.Path() / "other.txt";
    fs::create_hard_link(file_, other);
    ASSERT_TRUE(Write());
    EXPECT_EQ(Read(file_), kNew);
    EXPECT_EQ(Read(other), kNew);
    EXPECT_EQ(Stat(file_).st_nlink, 2u);
    EXPECT_EQ(Entries(), 2u);
}

TEST_F(FileReplace, AnotherUsersFileKeepsItsOwnerAndMode) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may write a file that belongs to another user";
    }
    ASSERT_EQ(::chown(file_.c_str(), 65534, 65534), 0);
    ASSERT_TRUE(Write());
    EXPECT_EQ(Read(file_), kNew);
    EXPECT_EQ(Stat(file_).st_uid, 65534u);
    EXPECT_EQ(Stat(file_).st_gid, 65534u);
    EXPECT_EQ(Stat(file_).st_mode & 07777, 0640u);
}

TEST_F(FileReplace, ExtendedAttributesStay) {
    if (::setxattr(file_.c_str(), "user.tirvel", "kept", 4, 0) != 0) {
        GTEST_SKIP() << "the file system of " << dir_.Path() << " takes no user attributes";
    }
    ASSERT_TRUE(Write());
    EXPECT_EQ(Read(file_), kNew);
    char value[8] = {};
    EXPECT_EQ(::getxattr(file_.c_str(), "user.tirvel", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
}

// A file size limit makes the write fail part-way, as a full disk would.
TEST_F(FileReplace, AFailedWriteKeepsTheOldBytesOrAsManyAsItCan) {
    const fs::path linked = dir_.Path() / "linked.txt";
    std::ofstream(linked, std::ios::binary) << std::string(100, 'o');
    fs::create_hard_link(linked, dir_.Path() / "second-name.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{50, 50};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string big(200, 'n');
        ::_exit(Write(big.c_str()) || cfgfile::ReplaceFileContents(linked, big) ? 1 : 0);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0) << "a write past the limit succeeded";
    EXPECT_EQ(Read(file_), kOld);
    EXPECT_EQ(Read(linked), std::string(50, 'n') + std::string(50, 'o'));
    EXPECT_EQ(Entries(), 3u);
}

}  // namespace
