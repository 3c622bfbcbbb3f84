// A name of the user's choice for the simulator's pseudo-terminal (--link).
#pragma once

#include <string>

namespace kavrelsim {

// A symbolic link that lives as long as this object.
class ScopedLink {
public:
    ScopedLink() = default;
    // Creates missing parent directories. An existing symbolic link at `path`
    // (left over from a killed run) is replaced; anything else is refused.
    // Throws std::runtime_error.
    ScopedLink(std::string path, std::string target);
    ~ScopedLink();
    ScopedLink(ScopedLink&& other) noexcept;
    ScopedLink& operator=(ScopedLink&& other) noexcept;
    ScopedLink(const ScopedLink&) = delete;
    ScopedLink& operator=(const ScopedLink&) = delete;

    const std::string& Path() const { return path_; }
    // Points the link at another target in one step (a new link renamed over
    // the old), so that a program opening the name never finds it missing.
    // Throws std::runtime_error.
    void Retarget(const std::string& target);

private:
    void Remove();

    std::string path_;
    std::string target_;
};

}  // namespace kavrelsim
