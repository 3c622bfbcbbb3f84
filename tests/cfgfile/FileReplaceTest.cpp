// A file written again keeps its other names, owner, mode and extended
// attributes; a write that fails part-way loses as little as it can.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "TestFiles.h"
#include "cfgfile/FileIo.h"

namespace {

using testsupport::ReadFile;

namespace fs = std::filesystem;

class FileReplace : public ::testing::Test {
protected:
    FileReplace() {
        std::ofstream(file_, std::ios::binary) << std::string(100, 'o');
        ::chmod(file_.c_str(), 0640);
        ::stat(file_.c_str(), &before_);
    }
    // The file's state once "new" has been written to it.
    struct stat Written() {
        EXPECT_TRUE(cfgfile::ReplaceFileContents(file_.string(), "new"));
        EXPECT_EQ(ReadFile(file_), "new");
        struct stat st {};
        ::stat(file_.c_str(), &st);
        return st;
    }

    testsupport::TempDir dir_;
    fs::path file_ = dir_.Path() / "cfg.txt";
    struct stat before_ {};
};

TEST_F(FileReplace, AnOrdinaryFileIsRenamedOverWithItsOwnerAndMode) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may write a file that belongs to another user";
    }
    ASSERT_EQ(::chown(file_.c_str(), 65534, 65534), 0);
    const struct stat after = Written();
    EXPECT_NE(after.st_ino, before_.st_ino);
    EXPECT_EQ(after.st_uid, 65534u);
    EXPECT_EQ(after.st_gid, 65534u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), {}), 1);
}

TEST_F(FileReplace, HardLinksAndExtendedAttributesStay) {
    const fs::path other = dir_.Path() / "other.txt";
    fs::create_hard_link(file_, other);
    EXPECT_EQ(Written().st_nlink, 2u);
    EXPECT_EQ(ReadFile(other), "new");
    fs::remove(other);
    if (::setxattr(file_.c_str(), "user.tirvel", "kept", 4, 0) != 0) {
        GTEST_SKIP() << dir_.Path() << " takes no user attributes; only hard links were tried";
    }
    EXPECT_EQ(Written().st_ino, before_.st_ino);
    char value[8] = {};
    EXPECT_EQ(::getxattr(file_.c_str(), "user.tirvel", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
}

// A file size limit makes the write stop part-way, as a full disk would.
TEST_F(FileReplace, AFailedWriteKeepsTheOldBytesOrAsManyAsItCan) {
    const fs::path linked = dir_.Path() / "linked.txt";
    fs::copy_file(file_, linked);
    fs::create_hard_link(linked, dir_.Path() / "second-name.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{50, 50};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string big(200, 'n');
        ::_exit(cfgfile::ReplaceFileContents(file_, big) ||
                cfgfile::ReplaceFileContents(linked, big));
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(status, 0) << "a write past the limit succeeded";
    EXPECT_EQ(ReadFile(file_), std::string(100, 'o'));
    EXPECT_EQ(ReadFile(linked), std::string(50, 'n') + std::string(50, 'o'));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), {}), 3);
}

}  // namespace
