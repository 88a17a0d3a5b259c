// The report page's charts of a run: the whole run's timeline, and each phase's rate against
// time (every pass drawn over the others), the write's also against the data written.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "report/svg_chart.hpp"
#include "results/record.hpp"

// Pass `pass` of `passes` in a figure's hue, darker first; one pass in the hue's own shade.
std::string shade(int hue, std::size_t pass, std::size_t passes);

std::string timeline_chart(const run_record& run);

// With several ranks: a bar of each rank's time in each figure, each figure to its slowest
// rank's time, so that a rank slower than the others stands out.
std::string rank_bars(const run_record& run);

// Each figure's percentile curve of its calls' times, every pass drawn.
std::string latency_curves(const run_record& run);

// The write phase's and each read phase's charts, each in its own titled block, the phases'
// longest calls marked.
std::string phase_charts(const run_record& run);

// A phase's rate over each interval of its series, against the time from the phase's start or
// the data moved in GiB; each point's hover names the phase and `who` moved it.
std::vector<chart_point> phase_rate_points(figure_kind kind, const std::string& who, const figure_record& figure,
                                           bool against_data);
