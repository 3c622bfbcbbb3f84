// Where the tool may write: the exported configuration, a saved log, a
// document, a report. What a path names is told from the file system before
// anything is opened for writing, so a FIFO that nobody reads never holds a
// writer in open(), and a folder, a socket or a disk is never written to.
#pragma once

#include <string>

namespace cfgfile {

enum class OutputKind {
    kFile,     // a regular file, or nothing yet: the file is created or replaced
    kDevice,   // a character device (/dev/null, a terminal): written in place, never replaced
    kRefused,  // a FIFO, a socket, a folder or a block device
};

// Through symbolic links, as opening would go.
OutputKind ClassifyOutput(const std::string& path);

// Whether both paths name one existing file, however spelt: hard links,
// symbolic links, "./x" and "x", /proc/self/fd/N all meet in the same device
// and inode (on Windows, the volume serial number and file index). A path
// that names nothing is nobody's twin.
bool SameFile(const std::string& a, const std::string& b);

// Whether writing either path could reach the other's file, also one not made
// yet: the same file, or the same name in the same folder once symbolic links
// at the end are followed ("r.db-wal" beside a database that has none yet is
// the file SQLite will make there).
bool SamePlace(const std::string& a, const std::string& b);

}  // namespace cfgfile
