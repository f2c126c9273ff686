#include "core/stats/LatencyHistogram.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {
constexpr std::uint64_t kSubBuckets = std::uint64_t{1} << LatencyHistogram::kSubBucketBits;
}

std::size_t LatencyHistogram::BucketOf(std::uint64_t micros) {
    if (micros < kLinearLimit) {
        return static_cast<std::size_t>(micros);
    }
    const int exponent = std::bit_width(micros) - 1;  // >= kSubBucketBits + 1
    if (exponent >= kTopExponent) {
        return kBucketCount - 1;
    }
    const int shift = exponent - kSubBucketBits;
    const std::uint64_t sub = (micros >> shift) - kSubBuckets;  // 0..kSubBuckets-1
    return kLinearLimit + static_cast<std::size_t>(exponent - kSubBucketBits - 1) * kSubBuckets +
           static_cast<std::size_t>(sub);
}

std::uint64_t LatencyHistogram::BucketLow(std::size_t index) {
    if (index < kLinearLimit) {
        return index;
    }
    const std::size_t above = index - kLinearLimit;
    const int shift = static_cast<int>(above / kSubBuckets) + 1;
    return (kSubBuckets + above % kSubBuckets) << shift;
}

std::uint64_t LatencyHistogram::BucketHigh(std::size_t index) {
    if (index + 1 >= kBucketCount) {
        return UINT64_MAX;
    }
    return BucketLow(index + 1) - 1;
}

void LatencyHistogram::Record(std::uint64_t micros) {
    ++counts_[BucketOf(micros)];
    ++count_;
    min_ = std::min(min_, micros);
    max_ = std::max(max_, micros);
    sum_ += micros;
}

void LatencyHistogram::Merge(const LatencyHistogram& other) {
    for (std::size_t i = 0; i < kBucketCount; ++i) {
        counts_[i] += other.counts_[i];
    }
    count_ += other.count_;
    min_ = std::min(min_, other.min_);
    max_ = std::max(max_, other.max_);
    sum_ += other.sum_;
}

std::uint64_t LatencyHistogram::Percentile(double percent) const {
    if (count_ == 0) {
        return 0;
    }
    const double clamped = std::clamp(percent, 0.0, 100.0);
    const auto rank = std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(std::ceil(clamped / 100.0 * static_cast<double>(count_))));
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < kBucketCount; ++i) {
        seen += counts_[i];
        if (seen >= rank) {
            const std::uint64_t low = BucketLow(i);
            const std::uint64_t mid = low + (BucketHigh(i) - low) / 2;
            return std::clamp(mid, Min(), max_);
        }
    }
    return max_;
}

std::vector<LatencyHistogram::Bucket> LatencyHistogram::NonEmptyBuckets() const {
    std::vector<Bucket> buckets;
    for (std::size_t i = 0; i < kBucketCount; ++i) {
        if (counts_[i] != 0) {
            buckets.push_back({BucketLow(i), BucketHigh(i), counts_[i]});
        }
    }
    return buckets;
}
