// Files the tool takes in whole or checks before a device is involved: the
// firmware image, a configuration profile, a document being opened. Only regular files qualify: a
// device never ends (/dev/zero), and a pipe or FIFO without a writer would
// hold the open for ever and lose to a trial read what the real read needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace cfgfile {

// A DTU's flash holds a few megabytes; a file many times that is a wrong
// choice (a disk image, a video) rather than firmware, and the transfer holds
// the image twice in memory. The sender counts blocks and bytes in 32 bits;
// this keeps every count far inside that.
inline constexpr std::size_t kFirmwareLimitMb = 64;
inline constexpr std::size_t kFirmwareLimitBytes = kFirmwareLimitMb * 1024 * 1024;

// The bound of a configuration profile: sixty "N. name=value" lines are a few
// kilobytes; this leaves room for any value a device could hold and still
// stops a wrong file (an image, a log) before it fills the memory.
inline constexpr std::size_t kProfileLimitMb = 16;
inline constexpr std::size_t kProfileLimitBytes = kProfileLimitMb * 1024 * 1024;

enum class InputStatus {
    kOk,
    kEmpty,
    kNotRegular,  // a device, a FIFO, a socket or a folder
    kTooLarge,
    kCannotRead,  // missing, not permitted, or a read failed
};

// Tells what reading the file would find, without reading more than one byte:
// its type and size come from the file system before it is opened, so a FIFO
// is never opened at all.
InputStatus CheckInputFile(const std::string& path, std::uintmax_t maxBytes);

// The whole file, at most maxBytes of it; a file that grew past the bound since
// it was checked is kTooLarge, never truncated. bytes is only changed on kOk
// and kEmpty.
InputStatus ReadInputFile(const std::string& path, std::string& bytes, std::size_t maxBytes);

}  // namespace cfgfile
