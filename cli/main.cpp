// tirvelctl: the configuration view on the console, for production lines and
// scripts.
#ifdef _WIN32
#include <windows.h>
#endif

#include <csignal>
#include <exception>
#include <iostream>

#include "cli/TextOutput.h"
#include "cli/Tirvelctl.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    // Messages and tables are UTF-8, Chinese included; so is what is typed.
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCP(CP_UTF8);
#else
    // A closed pipe on stdout must not kill a run that is talking to a device.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    try {
        return cli::RunTirvelctl(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "tirvelctl: " << cli::PrintableLines(e.what()) << '\n';
        return 1;
    }
}
