#include <sys/stat.h>

#include "cfgfile/OutputFile.h"

namespace cfgfile {

// Not std::filesystem::equivalent: it declines to compare two devices, and a
// report written to the serial port in use is one of the cases.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace cfgfile
