#include "PortLinks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace kavrelsim {

ScopedLink::ScopedLink(std::string path, std::string target)
    : path_(std::move(path)), target_(std::move(target)) {
    auto parent = std::filesystem::path(path_).parent_path();
    std::error_code ec;
    if (!parent.empty()) {
        std::filesystem::create_directories(parent, ec);
        if (ec) {
            throw std::runtime_error(parent.string() + ": " + ec.message());
        }
    }
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            throw std::runtime_error(path_ + " exists and is not a symbolic link");
        }
        ::unlink(path_.c_str());
    }
    if (::symlink(target_.c_str(), path_.c_str()) != 0) {
        throw std::runtime_error(path_ + ": " + std::strerror(errno));
    }
}

void ScopedLink::Retarget(const std::string& target) {
    // The rename would replace whatever took the name meanwhile, a device node
    // or a file as much as our link.
    struct stat st {};
    if (::lstat(path_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        throw std::runtime_error(path_ + " is no longer a symbolic link; left alone");
    }
    const std::string temporary = path_ + ".new-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0 ||
        ::rename(temporary.c_str(), path_.c_str()) != 0) {
        std::string msg = path_ + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        throw std::runtime_error(msg);
    }
    target_ = target;
}

ScopedLink::~ScopedLink() {
    // Another simulator may have taken the name over since; leave its link alone.
    std::error_code ec;
    if (std::filesystem::read_symlink(path_, ec).string() == target_) {
        ::unlink(path_.c_str());
    }
}

}  // namespace kavrelsim
