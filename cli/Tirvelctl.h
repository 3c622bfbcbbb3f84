// tirvelctl's command line: options, checks made before any device is
// touched, and the subcommand run on the console host. Returns the exit code.
#pragma once

namespace cli {

int RunTirvelctl(int argc, char** argv);

}  // namespace cli
