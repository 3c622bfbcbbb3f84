// A regular file open for reading: the part of taking a file in that differs
// between the systems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "cfgfile/InputFile.h"

namespace cfgfile {

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile();

    // For a path whose status said it is a regular file: kOk, kNotRegular
    // when something else has taken the name since, or kCannotRead.
    InputStatus Open(const std::filesystem::path& native);

    // Bytes read, 0 at the end, nothing on a failed read.
    std::optional<std::size_t> Read(char* buffer, std::size_t size);

    // What the file said of its size when opened.
    std::uintmax_t Size() const { return size_; }

private:
    // Windows reads through a stream, POSIX through a descriptor: each
    // system's file uses one of the two.
    [[maybe_unused]] std::FILE* file_ = nullptr;
    [[maybe_unused]] int fd_ = -1;
    std::uintmax_t size_ = 0;
};

}  // namespace cfgfile
