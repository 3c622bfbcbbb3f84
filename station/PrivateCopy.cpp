#include "station/PrivateCopy.h"

#include <cerrno>
#include <system_error>

#include "cfgfile/FileIo.h"
#include "station/PrivateFolder.h"

namespace station {
namespace {

namespace fs = std::filesystem;

// The system's reason alone: the operator is told which of their files it was.
[[noreturn]] void Fail(int error) {
    throw std::system_error(error, std::generic_category());
}

}  // namespace

PrivateCopy::PrivateCopy(std::string_view bytes) : folder_(MakePrivateFolder()) {
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
