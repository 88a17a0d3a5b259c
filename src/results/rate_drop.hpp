// A sustained fall in a phase's rate, found in its series: the point that best splits the
// phase into a faster part and a slower one, when the slower is at most half the faster and
// stays so to the end. A write that outruns the device shows it when the OS's write cache fills.
#pragma once

#include <cstdint>

#include "results/record.hpp"

struct rate_drop {
    bool found = false;
    std::int64_t at_us = 0;  // the point of the series where the fall begins, from the phase's start
    std::uint64_t at_bytes = 0;
    double before_bytes_per_second = 0;  // the bytes before that point over their time
    double after_bytes_per_second = 0;   // the bytes after it, to the first worker's end, over their time
};

// Looked for only while every worker still ran: once one has ended, the others alone may
// move less without the device having slowed.
rate_drop find_rate_drop(const figure_record& phase);
