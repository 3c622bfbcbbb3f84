#include "cfgfile/OutputFile.h"

#include <filesystem>
#include <system_error>

#include "cfgfile/FileCalls.h"
#include "cfgfile/NativePath.h"

namespace cfgfile {
namespace {

namespace fs = std::filesystem;

// Where a write to path lands: symbolic links at the end followed, as open()
// follows them, also to a file that does not exist yet. A loop of links ends
// where it started going round.
fs::path Followed(const fs::path& path) {
    fs::path at = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(at, ec))) {
            break;
        }
        const fs::path target = fs::read_symlink(at, ec);
        if (ec) {
            break;
        }
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    return at;
}

std::string FolderOf(const fs::path& path) {
    return Utf8Path(path.has_parent_path() ? path.parent_path() : fs::path("."));
}

}  // namespace

OutputKind ClassifyOutput(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(NativePath(path), ec);
    switch (status.type()) {
        case fs::file_type::regular:
        case fs::file_type::not_found:
        case fs::file_type::none:  // cannot be told; the write itself will say
            return OutputKind::kFile;
        case fs::file_type::character:
            return OutputKind::kDevice;
        default:
            return OutputKind::kRefused;
    }
}

bool SamePlace(const std::string& a, const std::string& b) {
    if (SameFile(a, b)) {
        return true;
    }
    const fs::path first = Followed(NativePath(a));
    const fs::path second = Followed(NativePath(b));
    if (!sys::SameFileName(first, second)) {
        return false;
    }
    if (SameFile(FolderOf(first), FolderOf(second))) {
        return true;
    }
    // A folder that is not there yet (a records file's, made at its first
    // record) is told by its name.
    std::error_code ec;
    const fs::path one = fs::absolute(first, ec).lexically_normal();
    const fs::path other = fs::absolute(second, ec).lexically_normal();
    return one == other;
}

}  // namespace cfgfile
