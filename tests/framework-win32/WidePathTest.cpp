// Paths the file choosers return are UTF-8; the files they name must open on
// Windows whatever the ANSI code page lacks.
#include <gtest/gtest.h>

#include <string>

#include "cfgfile/FileIo.h"
#include "cfgfile/InputFile.h"
#include "framework/win32/Win32Host.h"

namespace {

TEST(WidePath, NonAsciiUtf8PathsAreWrittenReadAndChecked) {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    // Chinese, Cyrillic and an accented letter: no single ANSI code page has
    // them all.
    const std::string dir = fw::win32::Narrow(temp) + "tirvel-\xE9\x85\x8D\xE7\xBD\xAE-\xD0\xB6";
    ASSERT_TRUE(CreateDirectoryW(fw::win32::Widen(dir).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    const std::string path = dir + "\\caf\xC3\xA9 \xE6\x97\xA5\xE5\xBF\x97.log";
    const std::string bytes("\xC4\xE3\r\n\0\xFF", 6);

    ASSERT_TRUE(cfgfile::ReplaceFileContents(path, bytes));
    // The file has the name asked for, seen through the wide API.
    EXPECT_NE(GetFileAttributesW(fw::win32::Widen(path).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(cfgfile::CheckInputFile(path, 64), cfgfile::InputStatus::kOk);
    std::string read;
    ASSERT_EQ(cfgfile::ReadInputFile(path, read, 64), cfgfile::InputStatus::kOk);
    EXPECT_EQ(read, bytes);
    // Replacing goes through a temporary beside it, with the same kind of name.
    ASSERT_TRUE(cfgfile::ReplaceFileContents(path, "again"));
    ASSERT_EQ(cfgfile::ReadInputFile(path, read, 64), cfgfile::InputStatus::kOk);
    EXPECT_EQ(read, "again");

    DeleteFileW(fw::win32::Widen(path).c_str());
    EXPECT_TRUE(RemoveDirectoryW(fw::win32::Widen(dir).c_str())) << "a temporary was left";
}

}  // namespace
