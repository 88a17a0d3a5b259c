// How long each read, write or flush call took: a histogram of fixed size whose buckets are
// exact below 128 ns and then 64 to each power of two, so that any time from a microsecond to
// an hour lands in a bucket at most 1/64 as wide as itself (the reported middle is within
// 0.8 %). A worker records into its own with no lock and no allocation; histograms add.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int latency_sub_bucket_bits = 6;
inline constexpr std::uint64_t latency_sub_buckets = std::uint64_t{1} << latency_sub_bucket_bits;
// 2^42 ns is past an hour (3.6e12 ns); longer calls count in the last bucket, the maximum exact.
inline constexpr int latency_top_bit = 42;
inline constexpr std::size_t latency_bucket_count =
    2 * latency_sub_buckets + (latency_top_bit - latency_sub_bucket_bits - 1) * latency_sub_buckets;

struct latency_histogram {
    std::array<std::uint64_t, latency_bucket_count> counts{};
    std::uint64_t calls = 0;
    std::uint64_t total_ns = 0;
    std::uint64_t longest_ns = 0;
};

// The bucket of a time in ns: the time itself below 2 × 64, then 64 buckets for each power of two.
inline std::size_t latency_bucket(std::uint64_t ns) {
    if (ns < 2 * latency_sub_buckets) return static_cast<std::size_t>(ns);
    const int top = std::bit_width(ns) - 1;
    if (top >= latency_top_bit) return latency_bucket_count - 1;
    const int shift = top - latency_sub_bucket_bits;
    return static_cast<std::size_t>(
        2 * latency_sub_buckets + static_cast<std::uint64_t>(top - latency_sub_bucket_bits - 1) * latency_sub_buckets +
        ((ns >> shift) - latency_sub_buckets));
}

inline void record_latency(latency_histogram& histogram, std::uint64_t ns) {
    ++histogram.counts[latency_bucket(ns)];
    ++histogram.calls;
    histogram.total_ns += ns;
    if (ns > histogram.longest_ns) histogram.longest_ns = ns;
}

void add_histogram(latency_histogram& into, const latency_histogram& from);

// The time below which a share `quantile` (0 to 1) of the calls took, as its bucket's middle,
// never past the longest call; 0 with no call.
std::uint64_t latency_at(const latency_histogram& histogram, double quantile);

// The histogram as numbers, to add up over several processes, and back.
std::vector<std::uint64_t> histogram_numbers(const latency_histogram& histogram);
void add_histogram_numbers(latency_histogram& into, const std::uint64_t* numbers);
inline constexpr std::size_t histogram_number_count = latency_bucket_count + 3;

// A point of the percentile curve: `nines` is -log10(1 - quantile), so 2 is the 99th percentile.
struct latency_curve_point {
    double nines = 0;
    std::uint64_t ns = 0;
};

// What a phase's calls took, as the results file and the page give it.
struct latency_summary {
    std::uint64_t calls = 0;
    std::uint64_t mean_ns = 0;
    std::uint64_t p50_ns = 0;
    std::uint64_t p90_ns = 0;
    std::uint64_t p99_ns = 0;
    std::uint64_t p99_9_ns = 0;
    std::uint64_t p99_99_ns = 0;
    std::uint64_t max_ns = 0;
    // From the fastest call to as many nines as the calls resolve, then the longest.
    std::vector<latency_curve_point> curve;
};

latency_summary summarize(const latency_histogram& histogram);
