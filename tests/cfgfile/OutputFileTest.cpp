// Where the tool writes: what each kind of path takes, which spellings are one
// file, and the two writers (a whole file replaced, a report that grows) on
// every kind: none waits in open(), none puts a plain file in a device's place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "ChildProcess.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "cfgfile/FileIo.h"
#include "cfgfile/OutputFile.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using cfgfile::OutputKind;
using testsupport::SpecialKind;

struct stat StatOf(const fs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

// A special file of the kind in the test's folder, or a reason to skip.
class SpecialFile : public ::testing::TestWithParam<SpecialKind> {
protected:
    void SetUp() override {
        if (!testsupport::MakeSpecialFile(path_, GetParam())) {
            GTEST_SKIP() << "cannot make a " << testsupport::SpecialKindName(GetParam())
                         << " here (device nodes need root)";
        }
    }
    bool IsDevice() const { return GetParam() == SpecialKind::kNullDevice; }

    testsupport::TempDir dir_;
    fs::path path_ = dir_.Path() / "special";
};

TEST_P(SpecialFile, OnlyACharacterDeviceTakesOutput) {
    const OutputKind expected = IsDevice() ? OutputKind::kDevice : OutputKind::kRefused;
    EXPECT_EQ(cfgfile::ClassifyOutput(path_.string()), expected);
    fs::create_symlink(path_, dir_.Path() / "link");
    EXPECT_EQ(cfgfile::ClassifyOutput((dir_.Path() / "link").string()), expected);
}

// Each writer tried in a child, so that one waiting in open() fails the test
// instead of holding it; a device is written where it is and stays a device.
TEST_P(SpecialFile, NoWriterWaitsOrPutsAFileInItsPlace) {
    const struct stat before = StatOf(path_);
    const std::string path = path_.string();
    const std::function<bool()> writers[] = {
        [&] { return cfgfile::ReplaceFileContents(path, "[CFG]\r\n"); },
        [&] {
            cfgfile::OutputStream out;
            return out.Open(path) && out.Write("Port,Time\r\n");
        },
        [&] { return cfgfile::ReplaceFileContents((dir_.Path() / "via-link").string(), "x"); },
    };
    fs::create_symlink(path_, dir_.Path() / "via-link");
    for (const auto& write : writers) {
        EXPECT_EQ(testsupport::RunInChild([&] { return write() ? 1 : 0; }, 5s), IsDevice() ? 1 : 0);
        const struct stat after = StatOf(path_);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT);
        EXPECT_TRUE(fs::is_symlink(dir_.Path() / "via-link"));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), {}), 2);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpecialFile,
                         ::testing::Values(SpecialKind::kFifo, SpecialKind::kSocket,
                                           SpecialKind::kFolder, SpecialKind::kNullDevice,
                                           SpecialKind::kBlockDevice),
                         [](const auto& info) { return testsupport::SpecialKindName(info.param); });

class Spellings : public ::testing::Test {
protected:
    Spellings() { testsupport::WriteFile(file_, "2. APN=cmnet\r\n"); }
    bool Same(const fs::path& other) const {
        return cfgfile::SameFile(other.string(), file_.string());
    }

    testsupport::TempDir dir_;
    fs::path file_ = dir_.Path() / "profile.txt";
};

TEST_F(Spellings, EveryNameOfTheFileIsTheFile) {
    fs::create_hard_link(file_, dir_.Path() / "hard");
    fs::create_symlink(file_, dir_.Path() / "soft");
    fs::create_directory(dir_.Path() / "sub");
    EXPECT_TRUE(Same(file_));
    EXPECT_TRUE(Same(dir_.Path() / "hard"));
    EXPECT_TRUE(Same(dir_.Path() / "soft"));
    EXPECT_TRUE(Same(dir_.Path() / "sub" / ".." / "." / "profile.txt"));
    const int fd = ::open(file_.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(Same("/proc/self/fd/" + std::to_string(fd)));
    ::close(fd);
    // The same bytes elsewhere are another file, and a name of nothing is none.
    fs::copy_file(file_, dir_.Path() / "copy");
    EXPECT_FALSE(Same(dir_.Path() / "copy"));
    EXPECT_FALSE(Same(dir_.Path() / "missing"));
    EXPECT_FALSE(
        cfgfile::SameFile((dir_.Path() / "missing").string(), (dir_.Path() / "missing").string()));
}

// The report is written where it is: what it held goes, its other names and
// its inode stay, and a link that names nothing yet gets the file it names.
TEST_F(Spellings, TheReportIsWrittenInPlaceAndALinkStaysALink) {
    fs::create_hard_link(file_, dir_.Path() / "hard");
    const ino_t inode = StatOf(file_).st_ino;
    {
        cfgfile::OutputStream out;
        ASSERT_TRUE(out.Open(file_.string()));
        EXPECT_TRUE(out.Write("a,b\r\n"));
        EXPECT_TRUE(out.Write("1,2\r\n"));
        EXPECT_EQ(testsupport::ReadFile(dir_.Path() / "hard"), "a,b\r\n1,2\r\n");
    }
    EXPECT_EQ(StatOf(file_).st_ino, inode);

    const fs::path dangling = dir_.Path() / "dangling";
    fs::create_symlink(dir_.Path() / "named.txt", dangling);
    EXPECT_TRUE(cfgfile::ReplaceFileContents(dangling.string(), "new"));
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_EQ(testsupport::ReadFile(dir_.Path() / "named.txt"), "new");
}

}  // namespace
