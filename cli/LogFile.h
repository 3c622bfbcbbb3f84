// The file tirvelctl log saves the device's debug output to, written as the
// output arrives rather than once at the end: appended to, cut back where the
// device erases, and read back where an erase reaches further back than the
// memory holds. A character device (/dev/null) takes the bytes as they come;
// it cannot be cut or read back. A FIFO or a socket is not opened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cli {

class LogFile {
public:
    enum class Kind { Regular, Stream, Terminal };

    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Creates the file, or empties the one there. False when it cannot be
    // opened for writing, or is a FIFO or a socket; decided without waiting.
    bool Open(const std::string& path);
    Kind GetKind() const { return kind_; }
    // Nothing written so far was lost.
    bool Good() const { return good_; }
    std::uint64_t Size() const { return size_; }

    bool Append(std::string_view bytes);
    // A regular file only.
    bool CutTo(std::uint64_t size);
    bool ReadAt(std::uint64_t offset, std::size_t count, std::string& bytes);
    // To the disk, then closed; false when anything written was lost.
    bool Close();

private:
    int fd_ = -1;
    Kind kind_ = Kind::Stream;
    std::uint64_t size_ = 0;
    bool good_ = true;
};

}  // namespace cli
