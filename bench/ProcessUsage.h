// What a running process costs, read from outside it in /proc: its CPU time
// so far and its resident memory, now and at its peak.
#pragma once

#include <sys/types.h>

#include <string>

namespace bench {

struct ProcessUsage {
    double cpuSeconds = 0;  // user and system, all its threads
    long rssKb = 0;         // VmRSS
    long peakKb = 0;        // VmHWM: the most it has been resident since it started
};

// From the text of /proc/PID/stat: fields 14 and 15 (utime, stime), in ticks
// of ticksPerSecond. Throws std::runtime_error for text of another shape.
double CpuSecondsOfStat(const std::string& stat, long ticksPerSecond);
// A "Name:   1234 kB" line of /proc/PID/status, in kB; -1 for none.
long StatusKb(const std::string& status, const std::string& name);

// Throws std::runtime_error when the process is gone.
ProcessUsage UsageOf(pid_t pid);

}  // namespace bench
