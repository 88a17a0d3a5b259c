// Several runs' results side by side: each figure's median over each run's passes, its ratio
// to the first run's, and the settings, machine and target that differ between the runs.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "compare/results_file.hpp"
#include "results/record.hpp"
#include "results/statistics.hpp"
#include "settings/options.hpp"

struct compared_figure {
    std::size_t passes = 0;  // that measured it in full; 0 when none did
    figure_statistics mb_per_second;
};

struct compared_run {
    read_results read;
    std::string label;  // the device's model or the directory, and the date
    compared_figure figures[figure_count];
};

struct setting_difference {
    std::string name;
    std::vector<std::string> values;  // one a run, in the runs' order
};

struct comparison {
    std::vector<compared_run> runs;
    std::vector<setting_difference> differences;
};

comparison compare_runs(std::vector<read_results> runs);

// The options of `options` that quorlane-report compares, then where and on what the runs ran:
// each that differs between `runs`, with its value in every run.
std::vector<setting_difference> differing_settings(const std::vector<compared_run>& runs,
                                                   std::span<const option_row> options);

// The run's figure over the first run's; false when either was not measured.
bool ratio_to_first(const comparison& compared, std::size_t run, int kind, double& ratio);

// False for a run that failed or was interrupted: only the phases it finished are compared.
bool run_completed(const compared_run& run);

// "Run 1" for the first run.
std::string run_name(std::size_t run);

// The figures a run measured at least once, by their short names; messages::no_phase_finished
// when none.
std::string finished_phases(const compared_run& run);
