#include "cfgfile/FileIo.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace cfgfile {
namespace {

namespace fs = std::filesystem;

// Paths arrive as UTF-8 (the file choosers, the command line). On Windows a
// narrow path would go through the ANSI code page and lose every character
// it lacks, so there they become wide paths; POSIX takes the bytes as they are.
fs::path PathOf(const std::string& utf8) {
#ifdef _WIN32
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return fs::path(utf8);
#endif
}

std::FILE* OpenFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
    const std::string narrowMode(mode);
    const std::wstring wideMode(narrowMode.begin(), narrowMode.end());
    return ::_wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

// Writes everything, flushes it to the disk and closes the stream in any case.
bool WriteAndClose(std::FILE* file, std::string_view bytes) {
    // An empty view may carry a null pointer, which fwrite must not be given.
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
#ifndef _WIN32
    // Without this a crash soon after the rename can leave an empty file where
    // the old one was.
    ok = ok && ::fsync(::fileno(file)) == 0;
#endif
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

bool WriteDirectly(const fs::path& target, std::string_view bytes) {
    std::FILE* file = OpenFile(target, "wb");
    return file != nullptr && WriteAndClose(file, bytes);
}

// A new file next to the target, created exclusively so that nothing that
// happens to have the name is overwritten.
std::FILE* CreateTemporaryBeside(const fs::path& target, fs::path& temporary) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        temporary = target;
        fs::path name(".");
        name += target.filename().native();
        name += ".tmp-" + std::to_string(random());
        temporary.replace_filename(name);
        if (std::FILE* file = OpenFile(temporary, "wbx")) {
            return file;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return nullptr;
}

}  // namespace

ReadResult ReadWholeFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
    std::FILE* file = OpenFile(PathOf(path), "rb");
    if (file == nullptr) {
        return ReadResult::kCannotRead;
    }
    std::string contents;
    char buffer[65536];
    std::size_t got = 0;
    bool tooLarge = false;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (got > maxBytes - contents.size()) {
            tooLarge = true;
            break;
        }
        contents.append(buffer, got);
    }
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    if (tooLarge) {
        return ReadResult::kTooLarge;
    }
    if (!ok) {
        return ReadResult::kCannotRead;
    }
    bytes = std::move(contents);
    return ReadResult::kOk;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    return ReadWholeFile(path, bytes, std::string().max_size()) == ReadResult::kOk;
}

FileCheck CheckReadable(const std::string& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(PathOf(path), ec);
    if (fs::is_directory(status)) {
        return FileCheck::kCannotRead;
    }
#ifndef _WIN32
    // A pipe or a terminal (/dev/stdin, a shell's <(...)) would lose what a
    // trial read takes from it, and opening one without a writer can wait for
    // ever: whether it may be read is all that can be told beforehand.
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        return ::access(path.c_str(), R_OK) == 0 ? FileCheck::kReadable : FileCheck::kCannotRead;
    }
#endif
    std::FILE* file = OpenFile(PathOf(path), "rb");
    if (file == nullptr) {
        return FileCheck::kCannotRead;
    }
    // A directory opens on POSIX; its first read is what fails.
    const int first = std::fgetc(file);
    const bool failed = first == EOF && std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return FileCheck::kCannotRead;
    }
    return first == EOF ? FileCheck::kEmpty : FileCheck::kReadable;
}

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
    std::error_code ec;
    fs::path target = PathOf(path);
    // Through a symbolic link the file it names is replaced; the link stays.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) {
            target = std::move(resolved);
        }
    }
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    // Devices and pipes cannot be renamed over, and a directory fails to open
    // just as it should.
    if (exists && !fs::is_regular_file(status)) {
        return WriteDirectly(target, bytes);
    }
#ifndef _WIN32
    // The rename would get past a write-protected file that opening it for
    // writing refuses; the operator's protection wins.
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        return false;
    }
#endif

    fs::path temporary;
    std::FILE* file = CreateTemporaryBeside(target, temporary);
    if (file == nullptr) {
        return false;
    }
    bool ok = WriteAndClose(file, bytes);
    if (ok && exists) {
        // The replacement keeps the permissions the old file had; failing to
        // copy them is no reason to lose the write.
        fs::permissions(temporary, status.permissions(), ec);
    }
    if (ok) {
        fs::rename(temporary, target, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temporary, ec);
    }
    return ok;
}

}  // namespace cfgfile
