#include "results/stages.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "results/series.hpp"
#include "results/stage_fits.hpp"
#include "results/stage_noise.hpp"

namespace {

// A stage is fitted over at least this many intervals, besides the one astride the change
// into it: one alone can be the phase's ramp or a stall.
constexpr std::size_t least_intervals = 2;
// The last stage is fitted over at least this many: the phase's end holds the last workers'
// final blocks, which a flush or a stall can hold up.
constexpr std::size_t least_last_intervals = 5;
// Each stage must lessen the misfit, counted in units of the long-run noise, by this times
// log n: well above what chance finds in any of n places (2 log n), so that noise, even the
// noise of real series, carves no stage.
constexpr double stage_penalty = 4;
// Neighbouring stages whose rates differ by less than this share are one, where one stage
// tells them nearly as well: its misfit, per interval and in units of the marginal noise,
// stays under most_joined_misfit (twice the noise, where noise alone gives one).
constexpr double least_jump = 0.15;
constexpr double most_joined_misfit = 4;
// A series stalled (no block done in an interval) for more than this share of its time goes
// in bursts too far apart for its intervals to tell a rate: it is looked at over intervals
// twice as long, and again, until its intervals hold bursts and stalls both.
constexpr double most_stalled = 0.25;
// A day: a week's phase sampled into most_points has intervals of a few minutes.
constexpr std::int64_t longest_interval_us = 86400LL * 1000000;

// The share of the series' time spent in stalled intervals.
double stalled_share(const std::vector<interval_rate>& rates) {
    if (rates.empty() || rates.back().end_us <= 0) return 0;
    std::int64_t stalled_us = 0;
    for (const interval_rate& rate : rates)
        if (rate.bytes_at_end == rate.bytes_at_start) stalled_us += rate.end_us - rate.start_us;
    return static_cast<double>(stalled_us) / static_cast<double>(rates.back().end_us);
}

// The series over intervals twice as long, keeping every other point and the last.
series_record coarser(const series_record& series) {
    series_record doubled{series.interval_us * 2, {}};
    for (std::size_t k = 1; k < series.points.size(); k += 2) doubled.points.push_back(series.points[k]);
    if (series.points.size() % 2 != 0) doubled.points.push_back(series.points.back());
    return doubled;
}

// Each interval's weight in the fits: its share of a series interval, or 0 for one stalled or
// astray.
std::vector<double> weights_of(const std::vector<interval_rate>& rates, std::int64_t interval_us,
                               const series_noise& noise) {
    std::vector<double> weights;
    for (std::size_t k = 0; k < rates.size(); ++k) {
        const interval_rate& rate = rates[k];
        const bool stalled = rate.bytes_at_end == rate.bytes_at_start;
        weights.push_back(stalled || astray(rates, k, noise, least_intervals)
                              ? 0
                              : static_cast<double>(rate.end_us - rate.start_us) / static_cast<double>(interval_us));
    }
    return weights;
}

std::vector<running_sums> running_sums_of(const std::vector<interval_rate>& rates, const std::vector<double>& weights,
                                          double mean_rate) {
    const double total_us = static_cast<double>(rates.back().end_us);
    std::vector<running_sums> sums(rates.size() + 1);
    for (std::size_t k = 0; k < rates.size(); ++k) {
        const double w = weights[k];
        const double x = (static_cast<double>(rates[k].start_us) + static_cast<double>(rates[k].end_us)) / 2 / total_us;
        const double y = rates[k].bytes_per_us / mean_rate;
        const running_sums& previous = sums[k];
        sums[k + 1] = running_sums{previous.w + w,     previous.x + w * x,      previous.xx + w * x * x,
                                   previous.y + w * y, previous.xy + w * x * y, previous.yy + w * y * y};
    }
    return sums;
}

// Optimal partitioning: the cheapest cut of the intervals into stretches of at least
// least_intervals fitted (least_last_intervals for the last), each costing its model's misfit
// and the stage penalty. Returns each stretch's first interval and, last, the number of them.
std::vector<std::size_t> cheapest_cut(const std::vector<running_sums>& sums, const series_noise& noise, double log_n) {
    const std::size_t count = sums.size() - 1;
    if (count < 2 * least_intervals + 1) return {0, count};
    const double infinite = std::numeric_limits<double>::infinity();
    std::vector<double> best(count + 1, infinite);
    std::vector<std::size_t> start(count + 1, 0);
    best[0] = 0;
    for (std::size_t end = least_intervals; end <= count; ++end)
        for (std::size_t first = 0; fitted_first(first) + least_intervals <= end; ++first) {
            if (best[first] == infinite) continue;
            if (end == count && first > 0 && fitted_first(first) + least_last_intervals > end) continue;
            const double cost = best[first] + model_of(fit_between(sums, fitted_first(first), end), noise, log_n).cost +
                                stage_penalty * log_n;
            if (cost < best[end]) {
                best[end] = cost;
                start[end] = first;
            }
        }
    std::vector<std::size_t> cuts{count};
    for (std::size_t end = count; end > 0; end = start[end]) cuts.push_back(start[end]);
    std::reverse(cuts.begin(), cuts.end());
    return cuts;
}

// Neighbours that differ by little, and are told together nearly as well as apart, are one
// stage: two levels a few per cent apart, or the pieces of a decline that bends. A cache, a
// fall over a few seconds and the rate after it stay apart: one line through them misses them
// all. A stage shorter than both its neighbours, which go on at about the same rate, is an
// excursion of the one rate, not a stage of its own.
void join_neighbours(std::vector<segment>& parts, const std::vector<running_sums>& sums,
                     const std::vector<interval_rate>& rates, const series_noise& noise, double log_n) {
    const double total_us = static_cast<double>(rates.back().end_us);
    for (;;) {
        std::size_t nearest = parts.size();
        double smallest = least_jump;
        segment joined;
        for (std::size_t k = 0; k + 1 < parts.size(); ++k) {
            const double x = static_cast<double>(rates[parts[k].end - 1].end_us) / total_us;
            const double jump = junction_jump(parts[k], parts[k + 1], x);
            if (jump >= smallest) continue;
            const segment together = segment_between(sums, rates, parts[k].first, parts[k + 1].end, noise, log_n);
            if (together.misfit > most_joined_misfit) continue;
            smallest = jump;
            nearest = k;
            joined = together;
        }
        if (nearest != parts.size()) {
            parts[nearest] = joined;
            parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(nearest) + 1);
            continue;
        }
        std::size_t excursion = 0;
        for (std::size_t k = 1; k + 1 < parts.size() && excursion == 0; ++k) {
            const segment &before = parts[k - 1], &middle = parts[k], &after = parts[k + 1];
            const std::size_t length = middle.end - middle.first;
            if (length < before.end - before.first && length < after.end - after.first &&
                departure(before.fit.mean, after.fit.mean) < least_jump)
                excursion = k;
        }
        if (excursion == 0) return;
        parts[excursion - 1] =
            segment_between(sums, rates, parts[excursion - 1].first, parts[excursion + 1].end, noise, log_n);
        parts.erase(parts.begin() + static_cast<std::ptrdiff_t>(excursion),
                    parts.begin() + static_cast<std::ptrdiff_t>(excursion) + 2);
    }
}

// `share` of `amount`, rounded down.
std::uint64_t part_of(std::uint64_t amount, double share) {
    if (share <= 0) return 0;
    if (share >= 1) return amount;
    return std::min(amount, static_cast<std::uint64_t>(std::floor(static_cast<double>(amount) * share)));
}

struct stage_start {
    std::int64_t us = 0;
    std::uint64_t bytes = 0;
};

// Where the stage after `before` starts: within the interval that straddles the change, the
// share of its time at the rate before the change, as its rate lies between the rates on
// either side. That interval is the later stage's first, which its fit leaves out, or one
// beside it that was left out of the fits as astray.
stage_start start_between(const segment& before, const segment& after, const std::vector<interval_rate>& rates,
                          const std::vector<double>& weights, double mean_rate) {
    const std::size_t cut = after.first;
    const double x = static_cast<double>(rates[cut].start_us) / static_cast<double>(rates.back().end_us);
    const double rate_before = std::max(fitted_at(before, x), 0.0), rate_after = std::max(fitted_at(after, x), 0.0);
    auto share_before = [&](std::size_t k) {
        return rate_before == rate_after ? 0
                                         : (rates[k].bytes_per_us / mean_rate - rate_after) / (rate_before - rate_after);
    };
    std::size_t straddling = cut;
    for (const std::size_t k : {cut - 1, cut + 1})
        if (k < after.end && weights[k] == 0 && share_before(k) > 0 && share_before(k) < 1) straddling = k;
    const interval_rate& interval = rates[straddling];
    const double time_share = std::clamp(share_before(straddling), 0.0, 1.0);
    const double rate = interval.bytes_per_us / mean_rate;
    const double byte_share = rate > 0 ? std::min(rate_before * time_share / rate, 1.0) : time_share;
    return stage_start{
        interval.start_us +
            static_cast<std::int64_t>(part_of(static_cast<std::uint64_t>(interval.end_us - interval.start_us), time_share)),
        interval.bytes_at_start + part_of(interval.bytes_at_end - interval.bytes_at_start, byte_share)};
}

// No more points than the sampler keeps, bytes that never go back, intervals of a sensible
// length: a series this program sampled, not one edited by hand.
bool sampled(const series_record& series) {
    if (series.points.size() > most_points || series.interval_us <= 0 || series.interval_us > longest_interval_us)
        return false;
    for (std::size_t k = 1; k < series.points.size(); ++k)
        if (series.points[k].bytes < series.points[k - 1].bytes) return false;
    return true;
}

}  // namespace

std::vector<rate_stage> find_stages(const figure_record& phase) {
    series_record series = series_while_all_ran(phase);
    if (!sampled(series)) return {};
    std::vector<interval_rate> rates = series_rates(series);
    while (rates.size() > 2 * least_intervals + 1 && stalled_share(rates) > most_stalled) {
        series = coarser(series);
        rates = series_rates(series);
    }
    if (rates.empty()) return {};
    const std::int64_t total_us = rates.back().end_us;
    const std::uint64_t total_bytes = rates.back().bytes_at_end;
    if (total_bytes == 0) return {rate_stage{0, 0, 0, total_us, 0, false, 0, 0}};
    const double mean_rate = static_cast<double>(total_bytes) / static_cast<double>(total_us);

    const series_noise noise = noise_of(rates);
    const double log_n = std::log(std::max(static_cast<double>(rates.size()), 2.0));
    const std::vector<double> weights = weights_of(rates, series.interval_us, noise);
    const std::vector<running_sums> sums = running_sums_of(rates, weights, mean_rate);
    const std::vector<std::size_t> cuts = cheapest_cut(sums, noise, log_n);
    std::vector<segment> parts;
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k)
        parts.push_back(segment_between(sums, rates, cuts[k], cuts[k + 1], noise, log_n));
    join_neighbours(parts, sums, rates, noise, log_n);

    std::vector<stage_start> starts{stage_start{}};
    for (std::size_t k = 1; k < parts.size(); ++k)
        starts.push_back(start_between(parts[k - 1], parts[k], rates, weights, mean_rate));
    starts.push_back(stage_start{total_us, total_bytes});

    std::vector<rate_stage> stages;
    for (std::size_t index = 0; index < parts.size(); ++index) {
        const segment& part = parts[index];
        rate_stage stage{starts[index].bytes, starts[index + 1].bytes, starts[index].us, starts[index + 1].us};
        std::vector<double> held, all;
        for (std::size_t k = fitted_first(part.first); k < part.end; ++k) {
            all.push_back(rates[k].bytes_per_us);
            if (weights[k] > 0) held.push_back(rates[k].bytes_per_us);
        }
        stage.median_bytes_per_second = median_of(held.empty() ? all : held) * 1e6;
        stage.sloped = part.sloped;
        stage.start_bytes_per_second = stage.end_bytes_per_second = stage.median_bytes_per_second;
        if (part.sloped) {
            const double scale = mean_rate * 1e6, time = static_cast<double>(total_us);
            stage.start_bytes_per_second =
                std::max(fitted_at(part, static_cast<double>(stage.start_us) / time), 0.0) * scale;
            stage.end_bytes_per_second = std::max(fitted_at(part, static_cast<double>(stage.end_us) / time), 0.0) * scale;
            // A decline that slows as it goes (a disk's rate falls with the bytes, not the time)
            // bends away from its line: at its ends the line is told no further than the rates
            // its intervals had.
            const std::vector<double>& rates_held = held.empty() ? all : held;
            const auto [lowest, highest] = std::minmax_element(rates_held.begin(), rates_held.end());
            stage.start_bytes_per_second = std::clamp(stage.start_bytes_per_second, *lowest * 1e6, *highest * 1e6);
            stage.end_bytes_per_second = std::clamp(stage.end_bytes_per_second, *lowest * 1e6, *highest * 1e6);
        }
        stages.push_back(stage);
    }
    return stages;
}
