// The bytes of the operator's file, for the workers of a station: written to
// a folder of their own in the temporary directory that only this user may
// enter (mode 0700, the file 0600), so every worker reads the same bytes
// whatever happens to the original meanwhile, and none reads the operator's
// path itself, which may be the worker's own stdin (/dev/stdin). Removed with
// the object, which the station keeps until its last worker has ended.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/NonCopyable.h"

namespace station {

class PrivateCopy : NonCopyable {
public:
    // Throws std::system_error when the folder or the file cannot be made or
    // written; nothing is left behind then.
    explicit PrivateCopy(std::string_view bytes);
    ~PrivateCopy();

    // The copy's path, UTF-8 as command lines take it.
    const std::string& Path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::string path_;
};

}  // namespace station
