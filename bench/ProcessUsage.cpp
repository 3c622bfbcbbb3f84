#include "ProcessUsage.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace bench {

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    if (!file || !(text << file.rdbuf())) {
        throw std::runtime_error("cannot read " + path);
    }
    return text.str();
}

}  // namespace

double CpuSecondsOfStat(const std::string& stat, long ticksPerSecond) {
    // The program's name (field 2) may hold spaces and parentheses of its
    // own: the fields are counted from its last ')'.
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) {
        throw std::runtime_error("not a /proc stat: " + stat);
    }
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    // After the name: state (3), ppid, pgrp, session, tty_nr, tpgid, flags,
    // minflt, cminflt, majflt, cmajflt (13), then utime and stime.
    for (int i = 3; i <= 13; ++i) {
        fields >> field;
    }
    long long user = -1;
    long long system = -1;
    if (!(fields >> user >> system) || user < 0 || system < 0) {
        throw std::runtime_error("no CPU times in /proc stat: " + stat);
    }
    return static_cast<double>(user + system) / static_cast<double>(ticksPerSecond);
}

long StatusKb(const std::string& status, const std::string& name) {
    std::istringstream lines(status);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::stol(line.substr(name.size() + 1));
        }
    }
    return -1;
}

ProcessUsage UsageOf(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    const std::string status = ReadAll(proc + "/status");
    return {CpuSecondsOfStat(ReadAll(proc + "/stat"), sysconf(_SC_CLK_TCK)),
            StatusKb(status, "VmRSS"), StatusKb(status, "VmHWM")};
}

}  // namespace bench
