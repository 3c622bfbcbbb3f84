// A scratch directory for one test, removed with everything in it.
#pragma once

#include <filesystem>

#include "common/NonCopyable.h"

namespace testsupport {

// A directory that lives as long as the object.
class TempDir : NonCopyable {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace testsupport
