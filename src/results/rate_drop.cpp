#include "results/rate_drop.hpp"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "results/series.hpp"

namespace {

constexpr std::int64_t before_window_us = 5000000;
constexpr std::int64_t least_before_us = 2000000;
constexpr std::int64_t least_after_us = 3000000;
constexpr double least_share_below = 0.8;

// The series' intervals, their rates in bytes per µs: the thresholds below are in the same unit.
using span = interval_rate;

std::int64_t duration_of(const span& s) { return s.end_us - s.start_us; }

std::int64_t duration_of(const std::vector<span>& spans) {
    std::int64_t total = 0;
    for (const span& s : spans) total += duration_of(s);
    return total;
}

// The rate half of the time is spent below, so that a short last span counts for little.
double time_median(std::vector<span> spans) {
    std::sort(spans.begin(), spans.end(), [](const span& a, const span& b) { return a.bytes_per_us < b.bytes_per_us; });
    const std::int64_t half = (duration_of(spans) + 1) / 2;
    std::int64_t so_far = 0;
    for (const span& s : spans) {
        so_far += duration_of(s);
        if (so_far >= half) return s.bytes_per_us;
    }
    return 0;
}

// The share of the time from span `first` to the end spent below `threshold`.
double share_below(const std::vector<span>& spans, std::size_t first, double threshold) {
    std::int64_t below = 0, total = 0;
    for (std::size_t k = first; k < spans.size(); ++k) {
        total += duration_of(spans[k]);
        if (spans[k].bytes_per_us < threshold) below += duration_of(spans[k]);
    }
    return static_cast<double>(below) / static_cast<double>(total);
}

}  // namespace

rate_drop find_rate_drop(const series_record& series) {
    const std::vector<span> spans = series_rates(series);
    if (spans.empty()) return rate_drop{};
    const std::int64_t end_us = spans.back().end_us;
    std::size_t first_before = 0;
    // The fall begins where span `split` starts: the spans of the window before it give the
    // rate it fell from, those from it to the end the rate it fell to.
    for (std::size_t split = 1; split < spans.size(); ++split) {
        const span& first_after = spans[split];
        if (end_us - first_after.start_us < least_after_us) break;
        while (spans[first_before].start_us < first_after.start_us - before_window_us) ++first_before;
        const std::vector<span> before(spans.begin() + first_before, spans.begin() + split);
        if (duration_of(before) < least_before_us) continue;
        const double threshold = time_median(before) / 2;
        // The fall begins where a span below the threshold follows one above it.
        if (spans[split - 1].bytes_per_us < threshold || first_after.bytes_per_us >= threshold) continue;
        // With most of the time after below the threshold, so is the median after.
        if (share_below(spans, split, threshold) < least_share_below) continue;
        return rate_drop{true, first_after.start_us, first_after.bytes_at_start, threshold * 2 * 1e6,
                         time_median(std::vector<span>(spans.begin() + split, spans.end())) * 1e6};
    }
    return rate_drop{};
}
