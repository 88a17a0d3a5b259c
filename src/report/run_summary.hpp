// What the reports derive from a record's passes, said once for the results file and the
// pages: each figure's rate, the passes that measured all four with their statistics, the
// bytes verified, the share cached after the purge as the file gives it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "results/record.hpp"
#include "results/statistics.hpp"

// Rates in the results file and the notes: to the thousandth.
double rounded_rate(double value);

// MB/s (10^6 bytes a second): bytes per µs, a phase under 1 µs counted as 1 µs.
double figure_mb_per_second(const figure_record& figure);
double figure_mib_per_second(const figure_record& figure);

struct figure_spread {
    figure_statistics kib_per_ms;
    figure_statistics mb_per_second;
};

struct run_summary {
    std::size_t passes = 0;  // that measured all four figures; the statistics are over them
    figure_spread figures[figure_count];
};

run_summary summary_of(const run_record& run);

// With -verify, every byte the read phases moved; 0 without.
std::uint64_t bytes_verified(const run_record& run);

// The share of the test files still cached after the purge, in %, to the thousandth.
double cached_percent(const pass_record& pass);

// With several ranks, the nodes they ran on.
std::uint32_t node_count(const run_record& run);
