// The report page's parts on the calls' times: the percentile curve of each phase on log
// axes, the table of the figures' latencies, and the longest calls as marks on a rate chart.
#pragma once

#include <string>
#include <vector>

#include "latency/stalls.hpp"
#include "report/svg_chart.hpp"
#include "results/record.hpp"

struct latency_curve_line {
    std::string label;
    std::string colour;
    latency_summary summary;
};

// Time against percentile, both on log axes: the further right, the rarer the call. Empty
// with no call timed.
std::string latency_chart(const std::vector<latency_curve_line>& lines);

// Every figure's count, mean, percentiles and maximum; empty when the run measured none.
std::string latency_table(const run_record& run);

// A phase's longest calls as marks on its rate chart: at their start from the phase's start
// in seconds, or against the data, at what all workers had moved by then (read from `series`,
// GiB). `pass` names the pass in the marks' text, empty for a single pass.
std::vector<chart_stall> stall_marks(const std::vector<stall_record>& stalls, const series_record& series,
                                     bool against_data, const std::string& pass, bool with_ranks);
