// tirvelctl: the configuration view on the console, for production lines and
// scripts.
#include <exception>
#include <iostream>

#include "cli/ProcessStart.h"
#include "cli/Tirvelctl.h"
#include "common/TextOutput.h"

int main(int argc, char** argv) {
    cli::PrepareProcess(argc, argv);
    try {
        return cli::RunTirvelctl(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "tirvelctl: " << common::PrintableLines(e.what()) << '\n';
        return 1;
    }
}
