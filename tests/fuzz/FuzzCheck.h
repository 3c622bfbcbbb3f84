// Invariant checks of the fuzz targets. A failed check is a finding: under
// libFuzzer it aborts so the input is saved as a crash; in the replay suite it
// is recorded and the test that ran the input fails.
#pragma once

#include <cstddef>
#include <cstdint>

// Each target's entry point: libFuzzer's under the fuzzers, a named function in
// the replay suite, which links every target into one test program.
#ifdef TIRVEL_FUZZ_REPLAY
#define FUZZ_TARGET(name) int FuzzTarget_##name(const std::uint8_t* data, std::size_t size)
#else
#define FUZZ_TARGET(name) \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
#endif

namespace fuzzsupport {

[[gnu::cold]] void Fail(const char* check, const char* file, int line);

}  // namespace fuzzsupport

#define FUZZ_CHECK(condition)                                    \
    do {                                                         \
        if (!(condition)) {                                      \
            ::fuzzsupport::Fail(#condition, __FILE__, __LINE__); \
        }                                                        \
    } while (false)
