#include "station/PrivateCopy.h"

#include <cerrno>
#include <random>
#include <system_error>

#ifndef _WIN32
#include <stdlib.h>
#endif

#include "cfgfile/FileIo.h"

namespace station {
namespace {

namespace fs = std::filesystem;

// The system's reason alone: the operator is told which of their files it was.
[[noreturn]] void Fail(int error) {
    throw std::system_error(error, std::generic_category());
}

// A new folder of the temporary directory's, entered by its owner only.
fs::path MakeFolder() {
    const fs::path base = fs::temp_directory_path();
#ifdef _WIN32
    // The user's temporary directory already keeps other users out; the
    // name only has to be new.
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path folder = base / ("tirvel-" + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(folder, ec)) {
            return folder;
        }
        if (ec) {
            Fail(ec.value());
        }
    }
    Fail(EEXIST);
#else
    std::string pattern = (base / "tirvel-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        Fail(errno);
    }
    return fs::path(pattern);
#endif
}

}  // namespace

PrivateCopy::PrivateCopy(std::string_view bytes) : folder_(MakeFolder()) {
    const fs::path file = folder_ / "input";
    const std::u8string utf8 = file.u8string();
    path_.assign(utf8.begin(), utf8.end());
    // Nobody else may enter the folder, so nobody else can have put anything
    // at that name; the file is the owner's alone too.
    cfgfile::OutputStream out;
    std::error_code ec;
    if (!out.Open(path_) || !out.Write(bytes)) {
        const int error = errno != 0 ? errno : EIO;
        fs::remove_all(folder_, ec);
        Fail(error);
    }
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, ec);
}

PrivateCopy::~PrivateCopy() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
}

}  // namespace station
