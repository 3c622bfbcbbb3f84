#include "cli/LogFile.h"

#include "cfgfile/FileCalls.h"

namespace cli {

LogFile::~LogFile() {
    Close();
}

bool LogFile::Append(std::string_view bytes) {
    if (fd_ < 0 || !good_) {
        return false;
    }
    good_ = kind_ == Kind::Regular ? cfgfile::sys::WriteAt(fd_, size_, bytes)
                                   : cfgfile::sys::WriteAll(fd_, bytes);
    size_ += good_ ? bytes.size() : 0;
    return good_;
}

bool LogFile::CutTo(std::uint64_t size) {
    if (fd_ < 0 || !good_ || kind_ != Kind::Regular || size > size_) {
        return false;
    }
    good_ = cfgfile::sys::CutTo(fd_, size);
    size_ = good_ ? size : size_;
    return good_;
}

bool LogFile::ReadAt(std::uint64_t offset, std::size_t count, std::string& bytes) {
    if (fd_ < 0 || !good_ || kind_ != Kind::Regular || offset + count > size_) {
        return false;
    }
    bytes.resize(count);
    // What cannot be read back cannot be cut right either.
    good_ = cfgfile::sys::ReadAt(fd_, offset, bytes.data(), count) && good_;
    return good_;
}

bool LogFile::Close() {
    if (fd_ < 0) {
        return good_;
    }
    // A log saved as it came is only worth it if it survives the machine
    // going down right after.
    if (kind_ == Kind::Regular) {
        good_ = cfgfile::sys::SyncFd(fd_) && good_;
    }
    good_ = cfgfile::sys::CloseFd(fd_) == 0 && good_;
    fd_ = -1;
    return good_;
}

}  // namespace cli
