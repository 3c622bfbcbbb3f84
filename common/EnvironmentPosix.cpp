#include <cstdlib>

#include "common/Environment.h"

std::string EnvironmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : std::string();
}
