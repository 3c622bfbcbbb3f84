// The documents folder as the XDG user folders name it, from a home of the
// test's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "ProgramState.h"
#include "TempDir.h"
#include "TestFiles.h"
#include "cfgfile/DocumentsFolder.h"

namespace {

namespace fs = std::filesystem;

struct UserDirsCase {
    const char* name;
    std::optional<std::string> userDirs;  // none: there is no such file
    std::string expected;                 // under the home folder, or absolute
};

class DocumentsFolderTest : public ::testing::TestWithParam<UserDirsCase> {
protected:
    DocumentsFolderTest() {
        env_.Set("HOME", home_.string());
        env_.Set("XDG_CONFIG_HOME", config_.string());
        env_.Set("XDG_DOCUMENTS_DIR", std::nullopt);
        fs::create_directories(config_);
    }

    void WriteUserDirs(const std::string& text) {
        testsupport::WriteFile(config_ / "user-dirs.dirs", text);
    }

    testsupport::TempDir dir_;
    const fs::path home_ = dir_.Path() / "home";
    const fs::path config_ = dir_.Path() / "config";
    testsupport::ScopedEnvironment env_;
};

TEST_P(DocumentsFolderTest, FollowsTheUserFolders) {
    if (GetParam().userDirs) {
        WriteUserDirs(*GetParam().userDirs);
    }
    const std::string& expected = GetParam().expected;
    EXPECT_EQ(cfgfile::DocumentsFolder(),
              expected.front() == '/' ? expected : (home_ / expected).string());
}

INSTANTIATE_TEST_SUITE_P(
    Files, DocumentsFolderTest,
    ::testing::Values(
        UserDirsCase{"Translated", "XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n", "文档"},
        UserDirsCase{"AmongOthers",
                     "# XDG_DOCUMENTS_DIR=\"$HOME/commented\"\n"
                     "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                     "  XDG_DOCUMENTS_DIR = \"$HOME/first\"\n"
                     "XDG_DOCUMENTS_DIR=$HOME/unquoted\n"
                     "XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Papers\\\"\" # last\n",
                     "My \"Papers\""},
        UserDirsCase{"Absolute", "XDG_DOCUMENTS_DIR=\"/srv/papers\"\n", "/srv/papers"},
        UserDirsCase{"RelativeIgnored", "XDG_DOCUMENTS_DIR=\"papers\"\n", "Documents"},
        UserDirsCase{"TurnedOff", "XDG_DOCUMENTS_DIR=\"$HOME/\"\n", "Documents"},
        UserDirsCase{"NoFile", std::nullopt, "Documents"}),
    [](const ::testing::TestParamInfo<UserDirsCase>& info) { return info.param.name; });

// Without XDG_CONFIG_HOME the file is looked for under ~/.config.
TEST_F(DocumentsFolderTest, ConfigUnderHomeByDefault) {
    env_.Set("XDG_CONFIG_HOME", std::nullopt);
    fs::create_directories(home_ / ".config");
    testsupport::WriteFile(home_ / ".config" / "user-dirs.dirs",
                           "XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n");
    EXPECT_EQ(cfgfile::DocumentsFolder(), (home_ / "文档").string());
}

// The variable, when absolute, wins over the file.
TEST_F(DocumentsFolderTest, VariableWinsWhenAbsolute) {
    WriteUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n");
    env_.Set("XDG_DOCUMENTS_DIR", "/srv/papers");
    EXPECT_EQ(cfgfile::DocumentsFolder(), "/srv/papers");
    env_.Set("XDG_DOCUMENTS_DIR", "papers");
    EXPECT_EQ(cfgfile::DocumentsFolder(), (home_ / "文档").string());
}

}  // namespace
