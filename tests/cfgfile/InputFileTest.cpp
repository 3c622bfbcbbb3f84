// The firmware image and an opened document: only regular files, never more
// than the bound, and a FIFO without a writer is refused at once, not waited on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "TempDir.h"
#include "TestFiles.h"
#include "cfgfile/InputFile.h"

namespace {

namespace fs = std::filesystem;
using cfgfile::InputStatus;

struct Case {
    const char* name;
    InputStatus expected;
};
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class InputFileKinds : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        testsupport::WriteFile(dir_.Path() / "image", "0123456789");
        testsupport::WriteFile(dir_.Path() / "empty", "");
        fs::create_directory(dir_.Path() / "folder");
        ASSERT_EQ(::mkfifo((dir_.Path() / "fifo").c_str(), 0600), 0);
        fs::create_symlink("/dev/zero", dir_.Path() / "zero");
        fs::create_symlink(dir_.Path() / "image", dir_.Path() / "link");
    }
    std::string Path() const { return (dir_.Path() / GetParam().name).string(); }

    testsupport::TempDir dir_;
};

TEST_P(InputFileKinds, CheckAndReadAgree) {
    EXPECT_EQ(cfgfile::CheckInputFile(Path(), 10), GetParam().expected);
    std::string bytes = "untouched";
    EXPECT_EQ(cfgfile::ReadInputFile(Path(), bytes, 10), GetParam().expected);
    switch (GetParam().expected) {
        case InputStatus::kOk:
            EXPECT_EQ(bytes, "0123456789");
            break;
        case InputStatus::kEmpty:
            EXPECT_EQ(bytes, "");
            break;
        default:
            EXPECT_EQ(bytes, "untouched");
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, InputFileKinds,
                         ::testing::Values(Case{"image", InputStatus::kOk},
                                           Case{"link", InputStatus::kOk},
                                           Case{"empty", InputStatus::kEmpty},
                                           Case{"folder", InputStatus::kNotRegular},
                                           Case{"fifo", InputStatus::kNotRegular},
                                           Case{"zero", InputStatus::kNotRegular},
                                           Case{"missing", InputStatus::kCannotRead}),
                         [](const auto& info) { return std::string(info.param.name); });

// Ten bytes pass a bound of ten (above); one byte over does not. /proc says 0
// bytes for files that hold text, so the size alone is no verdict on emptiness.
TEST(InputFileBound, OneByteOverTheBoundIsRefused) {
    testsupport::TempDir dir;
    const std::string image = (dir.Path() / "image").string();
    testsupport::WriteFile(image, "0123456789");
    std::string bytes;
    EXPECT_EQ(cfgfile::ReadInputFile(image, bytes, 9), InputStatus::kTooLarge);
    EXPECT_EQ(cfgfile::CheckInputFile(image, 9), InputStatus::kTooLarge);
#ifdef __linux__
    EXPECT_EQ(cfgfile::ReadInputFile("/proc/self/status", bytes, 1 << 20), InputStatus::kOk);
    EXPECT_NE(bytes.find("Name:"), std::string::npos);
#endif
}

}  // namespace
