// A phase's stages as the run keeps them and the console tells them: found in its series,
// named from what the run knows of the OS's cache and the eviction before it.
#pragma once

#include <vector>

#include "results/record.hpp"
#include "results/stage_names.hpp"

// The record's stages, named: what the results file, the page and quorlane-report give.
std::vector<stage_record> stage_records(const std::vector<named_stage>& stages, bool after_eviction);

// Finds and names the stages of `figure`, a phase of `pass` just kept in `run`'s record by a
// run of `settings`, and keeps them in it with the note that tells them; none for a phase
// without a series.
void settle_stages(const run_settings& settings, const run_record& run, const pass_record& pass, figure_kind kind,
                   figure_record& figure);

// A stage's kind as the page and quorlane-report name it: "OS cache", "Device cache",
// "Steady", "Decline".
const char* stage_kind_label(const std::string& kind);

// A stage's rate in MB/s: its median, or a decline's "180 to 95".
std::string stage_rate_text(const stage_record& stage);

// After a figure's result line: its stages, when it went in several or declined steadily.
void print_stages_note(const figure_record& figure);
