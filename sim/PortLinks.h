// A name of the user's choice for the simulator's pseudo-terminal (--link).
#pragma once

#include <string>

#include "common/NonCopyable.h"

namespace kavrelsim {

// A symbolic link that lives as long as this object.
class ScopedLink : NonCopyable {
public:
    // Creates missing parent directories. An existing symbolic link at `path`
    // (left over from a killed run) is replaced; anything else is refused.
    // Throws std::runtime_error.
    ScopedLink(std::string path, std::string target);
    ~ScopedLink();

    // Points the link at another target in one step (a new link renamed over
    // the old), so that a program opening the name never finds it missing.
    // Throws std::runtime_error.
    void Retarget(const std::string& target);

private:
    std::string path_;
    std::string target_;
};

}  // namespace kavrelsim
