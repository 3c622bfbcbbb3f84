// The figures the benches quote: a median, a 99th percentile that was really
// measured, and the range.
#include <gtest/gtest.h>

#include "Percentiles.h"

namespace {

TEST(Percentiles, HundredValuesGiveTheMiddlePairAndTheNinetyNinth) {
    std::vector<double> values;
    for (int v = 100; v >= 1; --v) {
        values.push_back(v);
    }
    const bench::Spread spread = bench::SpreadOf(values);
    EXPECT_DOUBLE_EQ(spread.median, 50.5);
    EXPECT_DOUBLE_EQ(spread.p99, 99);
    EXPECT_DOUBLE_EQ(spread.min, 1);
    EXPECT_DOUBLE_EQ(spread.max, 100);
}

TEST(Percentiles, FewValuesTakeTheLargestForTheNinetyNinth) {
    const bench::Spread spread = bench::SpreadOf({3, 1, 2});
    EXPECT_DOUBLE_EQ(spread.median, 2);
    EXPECT_DOUBLE_EQ(spread.p99, 3);
}

TEST(Percentiles, MedianRangeReads) {
    EXPECT_EQ(bench::MedianRange({}, 2), "-");
    EXPECT_EQ(bench::MedianRange({1.234}, 2), "1.23");
    EXPECT_EQ(bench::MedianRange({4, 1, 2, 3}, 1), "2.5 (1.0-4.0)");
    EXPECT_EQ(bench::Describe(bench::SpreadOf({2, 1})),
              "median 1.500 ms, p99 2.000 ms (min 1.000, max 2.000)");
}

}  // namespace
