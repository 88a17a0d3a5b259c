// The fits from which a phase's stages are cut: a stretch of intervals told as one level, or
// as a line against time, with its misfit counted in units of the series' noise.
#pragma once

#include <cstddef>
#include <vector>

#include "results/series.hpp"
#include "results/stage_noise.hpp"

// The sums over a series' intervals up to each one, from which any stretch's fit follows:
// weights, the interval's middle (x, a share of the series' time) and its rate (y, over the
// series' mean rate), each weighted.
struct running_sums {
    double w = 0, x = 0, xx = 0, y = 0, xy = 0, yy = 0;
};

// The weighted least squares of a stretch: as one level, and as a line against time, in which
// a stall takes its time (against bytes, it would take none).
struct segment_fit {
    double weight = 0;
    double mean = 0;
    double x_mean = 0;
    double slope = 0;
    double level_misfit = 0;  // weighted squared residuals
    double line_misfit = 0;
};

segment_fit fit_between(const std::vector<running_sums>& sums, std::size_t first, std::size_t end);

// The first interval of every stage but the first may straddle the change into it: it is
// not fitted.
inline std::size_t fitted_first(std::size_t first) { return first == 0 ? 0 : first + 1; }

// How a stretch is best told, and what that costs in units of the long-run noise, with the
// line's penalty: `log_n` is the log of the series' number of intervals.
struct segment_model {
    double cost = 0;
    bool line = false;
};

segment_model model_of(const segment_fit& fit, const series_noise& noise, double log_n);

// A stretch of intervals as a stage might be told.
struct segment {
    std::size_t first = 0;  // its intervals, first to one past the last
    std::size_t end = 0;
    segment_fit fit;
    bool line = false;    // told by its line rather than its level
    bool sloped = false;  // and that line changes enough, end to end, to call it sloped
    double misfit = 0;    // in units of the marginal noise, per unit of weight
};

segment segment_between(const std::vector<running_sums>& sums, const std::vector<interval_rate>& rates,
                        std::size_t first, std::size_t end, const series_noise& noise, double log_n);

// Its rate at `x`, over the series' mean rate.
double fitted_at(const segment& part, double x);

// The share by which the rates of `left` and `right` differ: where they meet, at `x`, or
// on the whole, whichever is less. A short line through noise ends anywhere.
double junction_jump(const segment& left, const segment& right, double x);
