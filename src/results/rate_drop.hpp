// A sustained fall in a phase's rate, found in its series: after some point the rate stays,
// for several seconds and to the phase's end, below half of what it was just before. A write
// that outruns the device shows it when the OS's write cache fills.
#pragma once

#include <cstdint>

#include "results/record.hpp"

struct rate_drop {
    bool found = false;
    std::int64_t at_us = 0;  // the point of the series where the fall begins, from the phase's start
    std::uint64_t at_bytes = 0;
    double before_bytes_per_second = 0;  // median over the few seconds before that point
    double after_bytes_per_second = 0;   // median from that point to the phase's end
};

// The earliest such fall; not found in a series shorter than five seconds.
rate_drop find_rate_drop(const series_record& series);
