// The writers on every kind of file: none waits in open(), none puts a plain
// file where a device was, and a symbolic link stays one.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "ChildProcess.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "cfgfile/FileIo.h"
#include "cfgfile/OutputFile.h"

namespace {

namespace fs = std::filesystem;
using testsupport::SpecialKind;

class SpecialFile : public ::testing::TestWithParam<SpecialKind> {};

// Each writer is tried in a child, so that one waiting in open() fails the
// test instead of holding it; the device is the test's own null device.
TEST_P(SpecialFile, NoWriterWaitsOrPutsAFileInItsPlace) {
    testsupport::TempDir dir;
    const fs::path special = dir.Path() / "special";
    if (!testsupport::MakeSpecialFile(special, GetParam())) {
        GTEST_SKIP() << "device nodes need root";
    }
    fs::create_symlink(special, dir.Path() / "link");
    const bool device = GetParam() == SpecialKind::kNullDevice;
    EXPECT_EQ(cfgfile::ClassifyOutput((dir.Path() / "link").string()),
              device ? cfgfile::OutputKind::kDevice : cfgfile::OutputKind::kRefused);
    struct stat before {};
    ::stat(special.c_str(), &before);
    for (const fs::path& path : {special, dir.Path() / "link"}) {
        const auto replace = [&] {
            return cfgfile::ReplaceFileContents(path.string(), "x") ? 1 : 0;
        };
        const auto report = [&] {
            cfgfile::OutputStream out;
            return out.Open(path.string()) && out.Write("a,b\r\n") ? 1 : 0;
        };
        EXPECT_EQ(testsupport::RunInChild(replace, std::chrono::seconds(5)), device ? 1 : 0);
        EXPECT_EQ(testsupport::RunInChild(report, std::chrono::seconds(5)), device ? 1 : 0);
    }
    struct stat after {};
    ::stat(special.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "link"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 2);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpecialFile,
                         ::testing::Values(SpecialKind::kFifo, SpecialKind::kSocket,
                                           SpecialKind::kFolder, SpecialKind::kNullDevice,
                                           SpecialKind::kBlockDevice),
                         [](const auto& info) { return testsupport::SpecialKindName(info.param); });

// A report is written where it is, its other names keep seeing it; a link
// that names nothing yet gets the file it names and stays a link.
TEST(OutputFile, WrittenInPlaceAndThroughLinks) {
    testsupport::TempDir dir;
    const fs::path report = dir.Path() / "report.csv";
    testsupport::WriteFile(report, "an older and longer report\r\n");
    fs::create_hard_link(report, dir.Path() / "other-name");
    {
        cfgfile::OutputStream out;
        ASSERT_TRUE(out.Open(report.string()));
        EXPECT_TRUE(out.Write("a,b\r\n") && out.Write("1,2\r\n"));
    }
    EXPECT_EQ(testsupport::ReadFile(dir.Path() / "other-name"), "a,b\r\n1,2\r\n");

    fs::create_symlink(dir.Path() / "named.txt", dir.Path() / "dangling");
    EXPECT_TRUE(cfgfile::ReplaceFileContents((dir.Path() / "dangling").string(), "new"));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "dangling"));
    EXPECT_EQ(testsupport::ReadFile(dir.Path() / "named.txt"), "new");
}

}  // namespace
