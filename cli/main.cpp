// tirvelctl: the configuration view on the console, for production lines and
// scripts.
#include <exception>
#include <iostream>

#include "cli/ProcessStart.h"
#include "cli/TextOutput.h"
#include "cli/Tirvelctl.h"

int main(int argc, char** argv) {
    cli::PrepareProcess(argc, argv);
    try {
        return cli::RunTirvelctl(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "tirvelctl: " << cli::PrintableLines(e.what()) << '\n';
        return 1;
    }
}
