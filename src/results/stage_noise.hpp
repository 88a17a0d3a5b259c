// What in a phase's series is noise: the relative noise of its intervals' rates, and the
// intervals astray from the rates around them, which the stages' fits leave out.
#pragma once

#include <cstddef>
#include <vector>

#include "results/series.hpp"

// The share by which `rate` departs from `reference`, from 0 to 1.
double departure(double rate, double reference);

// The middle value; the mean of the two middle ones for an even count; 0 for none.
double median_of(std::vector<double> values);

// The relative noise of the rates: `marginal`, that of one interval, and `long_run`, the one a
// stretch's mean has, larger where neighbouring intervals go together (a slow wander, the
// OS's cycles of writing back), so that a wander is not taken for a change of stage.
struct series_noise {
    double marginal = 0;
    double long_run = 0;
};

series_noise noise_of(const std::vector<interval_rate>& rates);

// Interval k is far from the rates on both sides of it: a moment's stall or burst, or an
// interval astride a change. Of the first and last `edge` intervals, which can't be judged
// from both sides, those slower than the intervals beyond them: the phase's ramp, or a stall
// at its end. A fast start is kept: it can be a cache.
bool astray(const std::vector<interval_rate>& rates, std::size_t k, const series_noise& noise, std::size_t edge);
