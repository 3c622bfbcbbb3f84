// POSIX only: the signals that ask a program to stop, Ctrl+C's SIGINT and
// the SIGTERM of kill and of a supervisor, as one set. Whoever blocks them to
// take them in its own time, and whoever hands them back to a child, names
// the same two.
#pragma once

#include <signal.h>

inline sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
