#include "StationWorkers.h"

#include <dirent.h>

#include <algorithm>
#include <filesystem>

#include "TestFiles.h"
#include "TextSearch.h"

namespace testsupport {

std::vector<pid_t> WorkersOn(const std::string& port) {
    std::vector<pid_t> pids;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return pids;
    }
    while (const dirent* entry = ::readdir(proc)) {
        const std::string name = entry->d_name;
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::string cmdline = ReadFile(std::filesystem::path("/proc") / name / "cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (Contains(cmdline, "--station-worker") && Contains(cmdline, " " + port + " ")) {
            pids.push_back(static_cast<pid_t>(std::stoi(name)));
        }
    }
    ::closedir(proc);
    return pids;
}

}  // namespace testsupport
