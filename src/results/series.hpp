// The series of a phase: the bytes moved by all workers so far, sampled every 100 ms from the
// phase's start. A long phase keeps a few thousand points: whenever the series reaches
// most_points, every other point goes and the interval doubles (an hour's phase ends with
// 2,250 points 1.6 s apart).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "results/record.hpp"

inline constexpr std::int64_t first_interval_us = 100000;
inline constexpr std::size_t most_points = 4096;

void start_series(series_record& series);

// When the next point is due, from the phase's start.
std::int64_t next_point_due_us(const series_record& series);

// A point sampled when it was due, at `elapsed_us` as the clock read it (a little after).
void add_point(series_record& series, std::int64_t elapsed_us, std::uint64_t bytes);

// The phase's end, wherever it falls between two points.
void end_series(series_record& series, std::int64_t elapsed_us, std::uint64_t bytes);

// The rate of each interval of a series, in bytes per µs (= MB/s, 10^6 bytes a second). An
// interval under half the series' interval (the phase's end, just after a point) joins the
// one before it, so that a few milliseconds' worth of blocks doesn't show as a spike.
struct interval_rate {
    std::int64_t start_us = 0;
    std::int64_t end_us = 0;
    std::uint64_t bytes_at_start = 0;  // moved by all workers at the interval's start
    std::uint64_t bytes_at_end = 0;
    double bytes_per_us = 0;
};

std::vector<interval_rate> series_rates(const series_record& series);

// The phase's series up to the first worker's end, while every worker still ran: once one has
// ended, the others alone may move less without the device having slowed.
series_record series_while_all_ran(const figure_record& phase);
