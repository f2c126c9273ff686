#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/stats/LatencyHistogram.h"

namespace {

// The exact value at `percent` of sorted `values`, by the same nearest-rank rule.
std::uint64_t ExactPercentile(const std::vector<std::uint64_t>& sorted, double percent) {
    const auto rank = std::max<std::size_t>(
        1, static_cast<std::size_t>(std::ceil(percent / 100.0 * sorted.size())));
    return sorted[rank - 1];
}

TEST(LatencyHistogram, BucketsTileTheRangeWithoutGapsOrOverlap) {
    for (std::size_t i = 0; i + 1 < LatencyHistogram::kBucketCount; ++i) {
        ASSERT_EQ(LatencyHistogram::BucketHigh(i) + 1, LatencyHistogram::BucketLow(i + 1)) << i;
        ASSERT_EQ(LatencyHistogram::BucketOf(LatencyHistogram::BucketLow(i)), i);
        ASSERT_EQ(LatencyHistogram::BucketOf(LatencyHistogram::BucketHigh(i)), i);
    }
    EXPECT_EQ(LatencyHistogram::BucketOf(UINT64_MAX), LatencyHistogram::kBucketCount - 1);
}

TEST(LatencyHistogram, PercentilesOfKnownDistributionsAreWithinOnePercent) {
    struct Case {
        const char* name;
        std::vector<std::uint64_t> values;
    };
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> uniform, exponential, bimodal;
    std::uniform_int_distribution<std::uint64_t> flat(1, 1'000'000);
    std::exponential_distribution<double> tail(1.0 / 2000.0);
    std::normal_distribution<double> fast(300.0, 20.0), slow(40'000.0, 3000.0);
    for (int i = 0; i < 200'000; ++i) {
        uniform.push_back(flat(random));
        exponential.push_back(static_cast<std::uint64_t>(tail(random)) + 1);
        bimodal.push_back(static_cast<std::uint64_t>(i % 20 == 0 ? slow(random) : fast(random)));
    }
    const Case cases[] = {{"uniform", uniform}, {"exponential", exponential}, {"bimodal", bimodal}};
    for (const Case& c : cases) {
        LatencyHistogram histogram;
        for (std::uint64_t v : c.values) {
            histogram.Record(v);
        }
        std::vector<std::uint64_t> sorted = c.values;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(histogram.Count(), sorted.size()) << c.name;
        EXPECT_EQ(histogram.Min(), sorted.front()) << c.name;
        EXPECT_EQ(histogram.Max(), sorted.back()) << c.name;
        for (double p : {1.0, 50.0, 90.0, 95.0, 99.0, 99.9, 100.0}) {
            const double exact = static_cast<double>(ExactPercentile(sorted, p));
            EXPECT_NEAR(static_cast<double>(histogram.Percentile(p)), exact, exact * 0.01)
                << c.name << " p" << p;
        }
    }
}

TEST(LatencyHistogram, MeanIsExactAndMergeEqualsOneRun) {
    LatencyHistogram first, second, both;
    for (std::uint64_t v : {5u, 1000u, 123456u}) {
        first.Record(v);
        both.Record(v);
    }
    for (std::uint64_t v : {7u, 250u}) {
        second.Record(v);
        both.Record(v);
    }
    first.Merge(second);
    EXPECT_DOUBLE_EQ(first.Mean(), (5 + 1000 + 123456 + 7 + 250) / 5.0);
    EXPECT_EQ(first.Min(), 5u);
    EXPECT_EQ(first.Max(), 123456u);
    EXPECT_EQ(first.Percentile(50), both.Percentile(50));
    EXPECT_EQ(first.NonEmptyBuckets().size(), 5u);

    const LatencyHistogram empty;
    EXPECT_EQ(empty.Count(), 0u);
    EXPECT_EQ(empty.Min(), 0u);
    EXPECT_EQ(empty.Percentile(99), 0u);
    EXPECT_TRUE(empty.NonEmptyBuckets().empty());
}

}  // namespace
