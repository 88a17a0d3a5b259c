#include "results/stage_fits.hpp"

#include <algorithm>
#include <cmath>

namespace {

// A line is fitted only through this many intervals or more: through a few, noise makes one.
constexpr double least_line_weight = 10;
// A line costs this times log n, in units of the noise, more than a level.
constexpr double slope_penalty = 2;
// Rates below this share of the series' mean are weighed as if they were this: a stage
// written at almost nothing is not weighed against its own zero.
constexpr double least_level = 0.01;
// A stage is sloped when its line changes by this share of its mean or more, end to end.
constexpr double least_slope = 0.1;

}  // namespace

segment_fit fit_between(const std::vector<running_sums>& sums, std::size_t first, std::size_t end) {
    const running_sums& a = sums[first];
    const running_sums& b = sums[end];
    const double w = b.w - a.w;
    if (w <= 0) return segment_fit{};
    const double per_weight = 1 / w;
    const double x = b.x - a.x, y = b.y - a.y;
    const double sxx = std::max(b.xx - a.xx - x * x * per_weight, 0.0);
    const double syy = std::max(b.yy - a.yy - y * y * per_weight, 0.0);
    const double sxy = b.xy - a.xy - x * y * per_weight;
    segment_fit fit;
    fit.weight = w;
    fit.mean = y * per_weight;
    fit.x_mean = x * per_weight;
    fit.level_misfit = syy;
    fit.line_misfit = syy;
    if (sxx > 0 && w >= least_line_weight) {
        fit.slope = sxy / sxx;
        fit.line_misfit = std::max(syy - sxy * fit.slope, 0.0);
    }
    return fit;
}

// The misfit is weighed against the segment's own level, so that a fast stage's wider swings
// count as much as a slow one's narrower ones.
segment_model model_of(const segment_fit& fit, const series_noise& noise, double log_n) {
    const double level = std::max(fit.mean, least_level);
    const double unit = level * level * noise.long_run * noise.long_run;
    const double as_level = fit.level_misfit / unit;
    const double as_line = fit.line_misfit / unit + slope_penalty * log_n;
    if (fit.slope != 0 && as_line < as_level) return segment_model{as_line, true};
    return segment_model{as_level, false};
}

double fitted_at(const segment& part, double x) {
    return part.line ? part.fit.mean + part.fit.slope * (x - part.fit.x_mean) : part.fit.mean;
}

segment segment_between(const std::vector<running_sums>& sums, const std::vector<interval_rate>& rates,
                        std::size_t first, std::size_t end, const series_noise& noise, double log_n) {
    segment part{first, end, fit_between(sums, fitted_first(first), end)};
    if (part.fit.weight <= 0) return part;
    part.line = model_of(part.fit, noise, log_n).line;
    const double level = std::max(part.fit.mean, least_level);
    part.misfit = (part.line ? part.fit.line_misfit : part.fit.level_misfit) / (level * level * noise.marginal * noise.marginal) /
                  part.fit.weight;
    if (part.line) {
        const double run = static_cast<double>(rates[end - 1].end_us - rates[first].start_us) /
                           static_cast<double>(rates.back().end_us);
        part.sloped = std::abs(part.fit.slope * run) >= least_slope * level;
    }
    return part;
}

double junction_jump(const segment& left, const segment& right, double x) {
    if (left.fit.weight <= 0 || right.fit.weight <= 0) return 0;
    return std::min(departure(std::max(fitted_at(left, x), 0.0), std::max(fitted_at(right, x), 0.0)),
                    departure(left.fit.mean, right.fit.mean));
}
