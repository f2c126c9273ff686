#pragma once

#include <array>
#include <cstdint>
#include <vector>

// Latencies of a run in microseconds, in a fixed-size log-linear histogram: values below 256
// have a bucket each; above, every power of two is cut into 128 equal buckets, so a
// percentile read back from a bucket's midpoint is within 0.4% of the true value. Count,
// minimum, maximum and mean are exact. The memory is the same for ten values or ten billion.
class LatencyHistogram {
  public:
    // Values at or above 2^kTopExponent land in the last bucket (about 3 years in µs).
    static constexpr int kSubBucketBits = 7;
    static constexpr int kTopExponent = 50;
    static constexpr std::size_t kLinearLimit = std::size_t{1} << (kSubBucketBits + 1);
    static constexpr std::size_t kBucketCount =
        kLinearLimit + (kTopExponent - kSubBucketBits - 1) * (std::size_t{1} << kSubBucketBits);

    void Record(std::uint64_t micros);
    // Adds another run's values, as if they had been recorded here.
    void Merge(const LatencyHistogram& other);

    std::uint64_t Count() const { return count_; }
    std::uint64_t Min() const { return count_ ? min_ : 0; }
    std::uint64_t Max() const { return max_; }
    double Mean() const { return count_ ? static_cast<double>(sum_) / count_ : 0.0; }
    // The value at `percent` (0..100) of the recorded values, 0 when there are none.
    std::uint64_t Percentile(double percent) const;

    // One non-empty bucket: the values in [low, high] and how many there were.
    struct Bucket {
        std::uint64_t low;
        std::uint64_t high;
        std::uint64_t count;
    };
    std::vector<Bucket> NonEmptyBuckets() const;

    static std::size_t BucketOf(std::uint64_t micros);
    static std::uint64_t BucketLow(std::size_t index);
    static std::uint64_t BucketHigh(std::size_t index);

  private:
    std::array<std::uint64_t, kBucketCount> counts_{};
    std::uint64_t count_ = 0;
    std::uint64_t min_ = UINT64_MAX;
    std::uint64_t max_ = 0;
    // Exact while the run's total stays below 2^64 µs, half a million years.
    std::uint64_t sum_ = 0;
};
