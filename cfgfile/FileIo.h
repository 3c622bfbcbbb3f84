// Writes to the files the operator chooses: whole files (configuration files,
// saved logs) and reports that grow row by row. Paths are in the native form
// the file chooser returns; contents are bytes, written without any conversion.
// None of them waits in open(): a FIFO, a socket, a folder or a block device
// is refused (see cfgfile/OutputFile.h), a character device written in place.
#pragma once

#include <string>
#include <string_view>

#include "common/NonCopyable.h"

namespace cfgfile {

// Makes the file hold exactly these bytes, creating it if needed. A regular
// file is replaced through a temporary file in the same directory that is
// renamed over it, so a failed write leaves the previous contents whole rather
// than a truncated file. Where a new file could not stand for the old one
// (the folder takes no new file, the file has other hard links, its owner or
// group could not be given to the replacement, it carries extended attributes
// or ACLs) it is written in place instead, and stays the same file. The mode is
// kept either way. A character device is written, never replaced; through a
// symbolic link the file it names is written and the link stays, even where
// that file does not exist yet. False when the file cannot be written, or is a
// kind that takes no file.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

// A file written piece by piece and kept as it grows, so that a run stopped
// half-way leaves what it wrote (a report). Opened in place: an existing
// regular file is emptied, a character device written to, nothing renamed.
class OutputStream : NonCopyable {
public:
    OutputStream() = default;
    ~OutputStream();

    // False when the path cannot be opened for writing or names a kind
    // ClassifyOutput refuses; decided without waiting.
    bool Open(const std::string& path);
    // Hands every byte to the system at once (no buffer of its own); false
    // when the file is not open or the write failed.
    bool Write(std::string_view bytes);

private:
    int fd_ = -1;
};

}  // namespace cfgfile
