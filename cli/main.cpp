// tirvelctl: the configuration view on the console, for production lines and
// scripts.
#include <signal.h>

#include <exception>
#include <iostream>

#include "cli/Tirvelctl.h"

int main(int argc, char** argv) {
    // A closed pipe on stdout must not kill a run that is talking to a device.
    ::signal(SIGPIPE, SIG_IGN);
    try {
        return cli::RunTirvelctl(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "tirvelctl: " << e.what() << '\n';
        return 1;
    }
}
