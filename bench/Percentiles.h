// The figures a bench quotes of many timed runs: the median and the 99th
// percentile, with the extremes to show how noisy the machine was.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

struct Spread {
    double median = 0;
    double p99 = 0;
    double min = 0;
    double max = 0;
};

inline Spread SpreadOf(std::vector<double> values) {
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    // The nearest-rank percentile: a value that was really measured.
    const auto rank = [&](double fraction) {
        const auto at = static_cast<std::size_t>(std::ceil(fraction * values.size()));
        return values[std::max<std::size_t>(at, 1) - 1];
    };
    return {rank(0.5), rank(0.99), values.front(), values.back()};
}

// "median 1.234 ms, p99 2.345 ms (min 0.9, max 3.1)", of milliseconds.
inline std::string Describe(const Spread& spread) {
    char text[160];
    std::snprintf(text, sizeof text, "median %.3f ms, p99 %.3f ms (min %.3f, max %.3f)",
                  spread.median, spread.p99, spread.min, spread.max);
    return text;
}

}  // namespace bench
