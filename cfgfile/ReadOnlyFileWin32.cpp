#include "cfgfile/ReadOnlyFile.h"

namespace cfgfile {

ReadOnlyFile::~ReadOnlyFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

InputStatus ReadOnlyFile::Open(const std::filesystem::path& native) {
    file_ = ::_wfopen(native.c_str(), L"rb");
    if (file_ == nullptr) {
        return InputStatus::kCannotRead;
    }
    std::error_code ec;
    size_ = std::filesystem::file_size(native, ec);
    return ec ? InputStatus::kCannotRead : InputStatus::kOk;
}

std::optional<std::size_t> ReadOnlyFile::Read(char* buffer, std::size_t size) {
    const std::size_t got = std::fread(buffer, 1, size, file_);
    if (got == 0 && std::ferror(file_) != 0) {
        return std::nullopt;
    }
    return got;
}

}  // namespace cfgfile
