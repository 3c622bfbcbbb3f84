#include "cfgfile/InputFile.h"
#include "cfgfile/NativePath.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cfgfile {
namespace {

namespace fs = std::filesystem;

// An open regular file and what it said of its size when opened.
class Input {
public:
    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input() {
#ifdef _WIN32
        if (file_ != nullptr) {
            std::fclose(file_);
        }
#else
        if (fd_ >= 0) {
            ::close(fd_);
        }
#endif
    }

    InputStatus Open(const std::string& path, std::uintmax_t maxBytes) {
        std::error_code ec;
        const fs::path native = NativePath(path);
        // Asked before opening: opening a FIFO that nobody writes to waits.
        const fs::file_status status = fs::status(native, ec);
        if (!fs::exists(status)) {
            return InputStatus::kCannotRead;
        }
        if (!fs::is_regular_file(status)) {
            return InputStatus::kNotRegular;
        }
#ifdef _WIN32
        file_ = ::_wfopen(native.c_str(), L"rb");
        if (file_ == nullptr) {
            return InputStatus::kCannotRead;
        }
        size_ = fs::file_size(native, ec);
        if (ec) {
            return InputStatus::kCannotRead;
        }
#else
        // The name may have been swapped for a FIFO since it was asked about:
        // without O_NONBLOCK that open would wait, and the descriptor is what
        // is checked again.
        fd_ = ::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            return InputStatus::kCannotRead;
        }
        struct stat opened {};
        if (::fstat(fd_, &opened) != 0) {
            return InputStatus::kCannotRead;
        }
        if (!S_ISREG(opened.st_mode)) {
            return InputStatus::kNotRegular;
        }
        size_ = static_cast<std::uintmax_t>(opened.st_size);
#endif
        return size_ > maxBytes ? InputStatus::kTooLarge : InputStatus::kOk;
    }

    // Bytes read, 0 at the end, nothing on a failed read.
    std::optional<std::size_t> Read(char* buffer, std::size_t size) {
#ifdef _WIN32
        const std::size_t got = std::fread(buffer, 1, size, file_);
        if (got == 0 && std::ferror(file_) != 0) {
            return std::nullopt;
        }
        return got;
#else
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, size);
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                return std::nullopt;
            }
        }
#endif
    }

    std::uintmax_t Size() const {
        return size_;
    }

private:
#ifdef _WIN32
    std::FILE* file_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::uintmax_t size_ = 0;
};

}  // namespace

InputStatus CheckInputFile(const std::string& path, std::uintmax_t maxBytes) {
    Input input;
    if (const InputStatus status = input.Open(path, maxBytes); status != InputStatus::kOk) {
        return status;
    }
    // The size alone does not tell empty from unreadable: files under /proc
    // say 0 and hold text, and some of them fail their first read.
    char first = 0;
    const std::optional<std::size_t> got = input.Read(&first, 1);
    if (!got) {
        return InputStatus::kCannotRead;
    }
    return *got == 0 ? InputStatus::kEmpty : InputStatus::kOk;
}

InputStatus ReadInputFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
    Input input;
    if (const InputStatus status = input.Open(path, maxBytes); status != InputStatus::kOk) {
        return status;
    }
    std::string contents;
    contents.reserve(static_cast<std::size_t>(input.Size()));
    char buffer[65536];
    for (;;) {
        const std::optional<std::size_t> got = input.Read(buffer, sizeof buffer);
        if (!got) {
            return InputStatus::kCannotRead;
        }
        if (*got == 0) {
            break;
        }
        if (*got > maxBytes - contents.size()) {
            return InputStatus::kTooLarge;
        }
        contents.append(buffer, *got);
    }
    bytes = std::move(contents);
    return bytes.empty() ? InputStatus::kEmpty : InputStatus::kOk;
}

}  // namespace cfgfile
