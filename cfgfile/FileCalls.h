// The calls on files that differ between the systems, under the file writers
// and the log: one file of each system's own implements them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace cfgfile::sys {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// The stream's bytes on the disk, not only with the system; where the system
// offers no such call for a stream it is taken as done.
bool SyncStream(std::FILE* file);

bool WriteAll(int fd, std::string_view bytes);
// At the offset given, whatever the descriptor's position.
bool WriteAt(int fd, std::uint64_t offset, std::string_view bytes);
// Exactly count bytes from the offset, or false.
bool ReadAt(int fd, std::uint64_t offset, char* data, std::size_t count);

// What a file opened for writing may turn out to be.
enum class Accept { kRegular, kRegularOrDevice, kDevice };

// Opens the file for writing without ever waiting in open(): a FIFO put in
// the path's place since it was looked at has no reader (and fails) or is
// refused on the descriptor. regular tells which kind was found. -1 when it
// cannot be opened or is not of a kind accepted.
int OpenForWriting(const std::filesystem::path& target, bool create, Accept accept,
                   bool* regular = nullptr);

int CloseFd(int fd);
bool CutTo(int fd, std::uintmax_t size);
bool SyncFd(int fd);

// The operator took the right to write away: a rename must not get past that.
bool WriteProtected(const std::filesystem::path& target);

// Gives the temporary, before it is written, what the old file has and a
// rename would lose. False when that cannot be had.
bool TakeOverIdentity(std::FILE* temporary, const std::filesystem::path& target);

// What a written and closed temporary still needs of the old file's
// permissions; failing to copy them is no reason to lose the write.
void TakeOverPermissions(const std::filesystem::path& temporary, std::filesystem::perms old);

// Whether the two paths end in the same name, as the file system tells names
// apart.
bool SameFileName(const std::filesystem::path& a, const std::filesystem::path& b);

// Puts the written temporary in the target's place.
bool MoveOver(const std::filesystem::path& temporary, const std::filesystem::path& target,
              bool exists);

}  // namespace cfgfile::sys
