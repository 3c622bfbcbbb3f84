// The documents folder as the shell names it.
#include <gtest/gtest.h>

#include <filesystem>

#include "cfgfile/DocumentsFolder.h"
#include "cfgfile/NativePath.h"

namespace {

TEST(DocumentsFolderTest, AnExistingFolder) {
    const std::string folder = cfgfile::DocumentsFolder();
    ASSERT_FALSE(folder.empty());
    std::error_code ec;
    EXPECT_TRUE(std::filesystem::is_directory(cfgfile::NativePath(folder), ec)) << folder;
}

}  // namespace
