// A program and its arguments as exec and posix_spawn take them. Made before
// a fork, so that the child only execs and need not allocate.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

class ArgumentVector {
public:
    ArgumentVector(const std::string& program, const std::vector<std::string>& args)
        : store_{program} {
        store_.insert(store_.end(), args.begin(), args.end());
        for (auto& a : store_) {
            pointers_.push_back(a.data());
        }
        pointers_.push_back(nullptr);
    }
    ArgumentVector(const ArgumentVector&) = delete;
    ArgumentVector& operator=(const ArgumentVector&) = delete;

    char* const* Data() { return pointers_.data(); }

private:
    std::vector<std::string> store_;
    std::vector<char*> pointers_;
};

}  // namespace testsupport
