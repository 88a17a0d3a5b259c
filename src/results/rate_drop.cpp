#include "results/rate_drop.hpp"

#include <cstddef>
#include <vector>

#include "results/series.hpp"

namespace {

// Long enough to hold several of the bursts in which an OS writes its cache back, so that a
// window's rate is the device's, not a burst's or a pause's.
constexpr std::int64_t window_us = 1000000;
// A stall of a second or two, as another program's burst on a shared machine makes, is no fall
// for good.
constexpr std::int64_t least_after_us = 3000000;
// Less than a write cache holds: with less on either side, a small run shows no fall however
// its machine stutters.
constexpr std::uint64_t least_bytes = 16 * 1048576;
// The share of a side's windows allowed on the other side of the rate midway between the two.
constexpr double most_astray = 0.2;

// In bytes per µs (= MB/s, 10^6 bytes a second).
double rate_between(const series_point& from, const series_point& to) {
    return static_cast<double>(to.bytes - from.bytes) / static_cast<double>(to.elapsed_us - from.elapsed_us);
}

// The phase's start, then its points up to the first worker's end.
std::vector<series_point> points_while_all_ran(const figure_record& phase) {
    std::vector<series_point> points{series_point{}};
    const series_record kept = series_while_all_ran(phase);
    points.insert(points.end(), kept.points.begin(), kept.points.end());
    return points;
}

// Of the windows from points[first] to points[last], one starting at each point, the share
// whose rate is not on the side of `midway` wanted. A stretch shorter than a window has none.
double share_astray(const std::vector<series_point>& points, std::size_t first, std::size_t last, double midway,
                    bool want_above) {
    std::size_t windows = 0, astray = 0;
    std::size_t end = first;
    for (std::size_t start = first; start < last; ++start) {
        while (end <= last && points[end].elapsed_us - points[start].elapsed_us < window_us) ++end;
        if (end > last) break;
        ++windows;
        if ((rate_between(points[start], points[end]) > midway) != want_above) ++astray;
    }
    return windows == 0 ? 0 : static_cast<double>(astray) / static_cast<double>(windows);
}

}  // namespace

rate_drop find_rate_drop(const figure_record& phase) {
    const std::vector<series_point> points = points_while_all_ran(phase);
    const std::size_t last = points.size() - 1;
    const series_point& start = points.front();
    const series_point& end = points[last];
    // The change point: the split whose two rates, each held over its side, leave the least
    // squared error about them, which is where time before × time after × the difference of
    // the rates squared is the largest.
    std::size_t split = 0;
    double best = 0;
    for (std::size_t k = 1; k < last; ++k) {
        const double difference = rate_between(start, points[k]) - rate_between(points[k], end);
        if (difference <= 0) continue;
        const double score = static_cast<double>(points[k].elapsed_us) *
                             static_cast<double>(end.elapsed_us - points[k].elapsed_us) * difference * difference;
        if (score > best) {
            best = score;
            split = k;
        }
    }
    // A single interval before could be the phase's ramp alone.
    if (split < 2) return rate_drop{};
    const series_point& at = points[split];
    if (at.bytes < least_bytes || end.bytes - at.bytes < least_bytes || end.elapsed_us - at.elapsed_us < least_after_us)
        return rate_drop{};
    const double before = rate_between(start, at), after = rate_between(at, end);
    if (after > before / 2) return rate_drop{};
    // For good: the rate stays low after the point, as it stayed high before, window after window.
    const double midway = (before + after) / 2;
    if (share_astray(points, 0, split, midway, true) > most_astray ||
        share_astray(points, split, last, midway, false) > most_astray)
        return rate_drop{};
    return rate_drop{true, at.elapsed_us, at.bytes, before * 1e6, after * 1e6};
}
