#include "TempDir.h"

#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace testsupport {

TempDir::TempDir() {
    // create_directory fails on a name that exists, so a fresh name is ours
    // alone, as mkdtemp would make it; the same code serves Windows.
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("tirvel-test-" + std::to_string(random() % 1000000000));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary directory could be made");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

}  // namespace testsupport
