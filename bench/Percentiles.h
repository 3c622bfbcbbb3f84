// The figures a bench quotes of many runs: the median, the 99th percentile
// where there are many, and the extremes to show how noisy the machine was.
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
    const auto at = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(values.size())));
    return {(values[(values.size() - 1) / 2] + values[values.size() / 2]) / 2, values[at - 1],
            values.front(), values.back()};
}

// "median (min-max)" to `decimals` places; the one value alone; "-" for none.
inline std::string MedianRange(const std::vector<double>& values, int decimals) {
    if (values.empty()) {
        return "-";
    }
    const Spread spread = SpreadOf(values);
    char text[64];
    if (values.size() == 1) {
        std::snprintf(text, sizeof text, "%.*f", decimals, spread.median);
    } else {
        std::snprintf(text, sizeof text, "%.*f (%.*f-%.*f)", decimals, spread.median, decimals,
                      spread.min, decimals, spread.max);
    }
    return text;
}

// "median 1.234 ms, p99 2.345 ms (min 0.9, max 3.1)", of milliseconds.
inline std::string Describe(const Spread& spread) {
    char text[160];
    std::snprintf(text, sizeof text, "median %.3f ms, p99 %.3f ms (min %.3f, max %.3f)",
                  spread.median, spread.p99, spread.min, spread.max);
    return text;
}

}  // namespace bench
