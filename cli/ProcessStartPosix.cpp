#include <csignal>

#include "cli/ProcessStart.h"

namespace cli {

// A closed pipe on stdout must not kill a run that is talking to a device.
void PrepareProcess(int&, char**&) {
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace cli
