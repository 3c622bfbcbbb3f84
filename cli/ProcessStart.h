// What tirvelctl's process needs of its system before the first word is read.
#pragma once

namespace cli {

// May put the arguments as the system keeps them in argc and argv, which then
// stay valid for the life of the process.
void PrepareProcess(int& argc, char**& argv);

}  // namespace cli
