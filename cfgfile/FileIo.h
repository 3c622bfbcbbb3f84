// Whole-file reads and writes for the files the operator chooses (configuration
// files, saved logs). Paths are in the native form the file chooser returns;
// contents are bytes, written and read without any conversion.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace cfgfile {

enum class ReadResult { kOk, kCannotRead, kTooLarge };
// The file's complete contents, unless it cannot be opened, a read fails before
// the end (a directory fails here too) or it holds more than maxBytes: a huge
// file or an endless device (/dev/zero chosen by mistake) cannot eat the memory.
// bytes is only changed on kOk.
ReadResult ReadWholeFile(const std::string& path, std::string& bytes, std::size_t maxBytes);

enum class FileCheck { kReadable, kEmpty, kCannotRead };
// Whether the file opens and gives its first byte, without reading the rest:
// a firmware image of many megabytes is checked without holding it.
FileCheck CheckReadable(const std::string& path);

// Makes the file hold exactly these bytes, creating it if needed. A regular
// file is replaced through a temporary file in the same directory that is
// renamed over it, so a failed write leaves the previous contents whole rather
// than a truncated file. Where a new file could not stand for the old one
// (the folder takes no new file, the file has other hard links, its owner or
// group could not be given to the replacement, it carries extended attributes
// or ACLs) it is written in place instead, and stays the same file. The mode is
// kept either way. False when the file cannot be written.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace cfgfile
