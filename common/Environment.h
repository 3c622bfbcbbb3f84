// The process environment as the rest of the program speaks it: UTF-8.
#pragma once

#include <string>

// The variable's value; empty when it is not set. On Windows it is read through
// the wide environment: a user name outside the ANSI code page would not
// survive the narrow one.
std::string EnvironmentVariable(const char* name);
