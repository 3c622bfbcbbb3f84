// The fuzzers' side of FUZZ_CHECK: an invariant that does not hold is a crash.
#include <cstdio>
#include <cstdlib>

#include "FuzzCheck.h"

namespace fuzzsupport {

void Fail(const char* check, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant failed: %s\n", file, line, check);
    std::abort();
}

}  // namespace fuzzsupport
