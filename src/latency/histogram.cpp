#include "latency/histogram.hpp"

#include <algorithm>
#include <cmath>

namespace {

// The smallest time in bucket `index`, and the bucket's width.
std::uint64_t bucket_start(std::size_t index) {
    if (index < 2 * latency_sub_buckets) return index;
    const std::uint64_t above = index - 2 * latency_sub_buckets;
    const int shift = static_cast<int>(above / latency_sub_buckets) + 1;
    return (latency_sub_buckets + above % latency_sub_buckets) << shift;
}

std::uint64_t bucket_width(std::size_t index) {
    if (index < 2 * latency_sub_buckets) return 1;
    return std::uint64_t{1} << ((index - 2 * latency_sub_buckets) / latency_sub_buckets + 1);
}

}  // namespace

void add_histogram(latency_histogram& into, const latency_histogram& from) {
    for (std::size_t k = 0; k < latency_bucket_count; ++k) into.counts[k] += from.counts[k];
    into.calls += from.calls;
    into.total_ns += from.total_ns;
    into.longest_ns = std::max(into.longest_ns, from.longest_ns);
}

std::uint64_t latency_at(const latency_histogram& histogram, double quantile) {
    if (histogram.calls == 0) return 0;
    // The rank of the call asked for, from 1: the nearest-rank definition.
    const double wanted = std::ceil(std::clamp(quantile, 0.0, 1.0) * static_cast<double>(histogram.calls));
    const std::uint64_t rank = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(wanted));
    std::uint64_t seen = 0;
    for (std::size_t k = 0; k < latency_bucket_count; ++k) {
        seen += histogram.counts[k];
        if (seen < rank) continue;
        if (k == latency_bucket_count - 1) return histogram.longest_ns;
        return std::min(bucket_start(k) + bucket_width(k) / 2, histogram.longest_ns);
    }
    return histogram.longest_ns;
}

std::vector<std::uint64_t> histogram_numbers(const latency_histogram& histogram) {
    std::vector<std::uint64_t> numbers(histogram.counts.begin(), histogram.counts.end());
    numbers.push_back(histogram.calls);
    numbers.push_back(histogram.total_ns);
    numbers.push_back(histogram.longest_ns);
    return numbers;
}

void add_histogram_numbers(latency_histogram& into, const std::uint64_t* numbers) {
    latency_histogram other;
    std::copy(numbers, numbers + latency_bucket_count, other.counts.begin());
    other.calls = numbers[latency_bucket_count];
    other.total_ns = numbers[latency_bucket_count + 1];
    other.longest_ns = numbers[latency_bucket_count + 2];
    add_histogram(into, other);
}

latency_summary summarize(const latency_histogram& histogram) {
    latency_summary summary;
    summary.calls = histogram.calls;
    if (histogram.calls == 0) return summary;
    summary.mean_ns = histogram.total_ns / histogram.calls;
    summary.p50_ns = latency_at(histogram, 0.5);
    summary.p90_ns = latency_at(histogram, 0.9);
    summary.p99_ns = latency_at(histogram, 0.99);
    summary.p99_9_ns = latency_at(histogram, 0.999);
    summary.p99_99_ns = latency_at(histogram, 0.9999);
    summary.max_ns = histogram.longest_ns;
    // Past log10 of the calls, every quantile is the longest call.
    const double most_nines = std::log10(static_cast<double>(histogram.calls));
    constexpr double step = 0.05;
    for (int k = 0; k * step < most_nines; ++k) {
        const double nines = k * step;
        summary.curve.push_back({nines, latency_at(histogram, 1 - std::pow(10.0, -nines))});
    }
    summary.curve.push_back({std::max(most_nines, 0.0), histogram.longest_ns});
    return summary;
}
