// A scratch directory for one test, removed with everything in it.
#pragma once

#include <filesystem>

namespace testsupport {

// A directory that lives as long as the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
