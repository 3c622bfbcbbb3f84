#include "cfgfile/InputFile.h"
#include "cfgfile/NativePath.h"
#include "cfgfile/ReadOnlyFile.h"

#include <filesystem>
#include <optional>
#include <utility>

namespace cfgfile {
namespace {

namespace fs = std::filesystem;

// The file is asked what it is before it is opened: opening a FIFO that
// nobody writes to waits.
InputStatus OpenInput(const std::string& path, std::uintmax_t maxBytes, ReadOnlyFile& file) {
    std::error_code ec;
    const fs::path native = NativePath(path);
    const fs::file_status status = fs::status(native, ec);
    if (!fs::exists(status)) {
        return InputStatus::kCannotRead;
    }
    if (!fs::is_regular_file(status)) {
        return InputStatus::kNotRegular;
    }
    if (const InputStatus opened = file.Open(native); opened != InputStatus::kOk) {
        return opened;
    }
    return file.Size() > maxBytes ? InputStatus::kTooLarge : InputStatus::kOk;
}

}  // namespace

InputStatus CheckInputFile(const std::string& path, std::uintmax_t maxBytes) {
    ReadOnlyFile input;
    if (const InputStatus status = OpenInput(path, maxBytes, input); status != InputStatus::kOk) {
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
    ReadOnlyFile input;
    if (const InputStatus status = OpenInput(path, maxBytes, input); status != InputStatus::kOk) {
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
