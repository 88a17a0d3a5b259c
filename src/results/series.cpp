#include "results/series.hpp"

#include <algorithm>
#include <limits>

void start_series(series_record& series) {
    series.interval_us = first_interval_us;
    series.points.clear();
}

std::int64_t next_point_due_us(const series_record& series) {
    return static_cast<std::int64_t>(series.points.size() + 1) * series.interval_us;
}

void add_point(series_record& series, std::int64_t elapsed_us, std::uint64_t bytes) {
    series.points.push_back(series_point{elapsed_us, bytes});
    if (series.points.size() < most_points) return;
    // The points kept were due on whole multiples of the doubled interval.
    std::size_t kept = 0;
    for (std::size_t k = 1; k < series.points.size(); k += 2) series.points[kept++] = series.points[k];
    series.points.resize(kept);
    series.interval_us *= 2;
}

void end_series(series_record& series, std::int64_t elapsed_us, std::uint64_t bytes) {
    series.points.push_back(series_point{elapsed_us, bytes});
}

std::vector<interval_rate> series_rates(const series_record& series) {
    std::vector<interval_rate> rates;
    series_point start;
    for (const series_point& point : series.points) {
        if (point.elapsed_us <= start.elapsed_us) continue;
        const bool short_stretch = point.elapsed_us - start.elapsed_us < series.interval_us / 2;
        if (!short_stretch || rates.empty()) rates.push_back(interval_rate{start.elapsed_us, 0, start.bytes, 0, 0});
        interval_rate& rate = rates.back();
        rate.end_us = point.elapsed_us;
        rate.bytes_at_end = point.bytes;
        rate.bytes_per_us =
            static_cast<double>(point.bytes - rate.bytes_at_start) / static_cast<double>(rate.end_us - rate.start_us);
        start = point;
    }
    return rates;
}

series_record series_while_all_ran(const figure_record& phase) {
    std::int64_t first_end = std::numeric_limits<std::int64_t>::max();
    for (const worker_result& worker : phase.workers)
        if (worker.elapsed_us > 0) first_end = std::min(first_end, worker.elapsed_us);
    series_record kept{phase.series.interval_us, {}};
    std::int64_t last_us = 0;
    for (const series_point& point : phase.series.points)
        if (point.elapsed_us > last_us && point.elapsed_us <= first_end) {
            kept.points.push_back(point);
            last_us = point.elapsed_us;
        }
    return kept;
}
