// The stages of a phase: the stretches of its series, while every worker still ran, over which
// the rate held steady or changed steadily, as a drive's fast write cache, the rate once it is
// full, and a slower stage after it show on a rate-against-bytes chart. Noise, short stalls
// and a steady decline are no new stage.
#pragma once

#include <cstdint>
#include <vector>

#include "results/record.hpp"

struct rate_stage {
    std::uint64_t start_bytes = 0;  // moved by all workers at the stage's start: its first byte
    std::uint64_t end_bytes = 0;    // and at its end, one past its last byte
    std::int64_t start_us = 0;      // from the phase's start
    std::int64_t end_us = 0;
    double median_bytes_per_second = 0;  // the median of its intervals' rates
    // A stage whose rate changes steadily, by a tenth or more from its start to its end; the
    // rate at both ends is that of the straight line through its rates against bytes. A level
    // stage has its median at both ends.
    bool sloped = false;
    double start_bytes_per_second = 0;
    double end_bytes_per_second = 0;
};

// In order, together covering the series while every worker ran; empty for a phase without
// a series interval.
std::vector<rate_stage> find_stages(const figure_record& phase);
