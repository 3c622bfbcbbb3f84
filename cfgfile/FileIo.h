// Whole-file reads and writes for the files the operator chooses (configuration
// files, saved logs). Paths are in the native form the file chooser returns;
// contents are bytes, written and read without any conversion.
#pragma once

#include <string>
#include <string_view>

namespace cfgfile {

// The file's complete contents. False when it cannot be opened or a read fails
// before the end (a directory fails here too).
bool ReadWholeFile(const std::string& path, std::string& bytes);

// Makes the file hold exactly these bytes, creating it if needed. A regular
// file is replaced through a temporary file in the same directory that is
// renamed over it, so a failed write leaves the previous contents whole rather
// than a truncated file. False when the file cannot be written.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace cfgfile
