// The notes on figures no link could carry, on the console and in the reports.
#pragma once

#include <optional>

#include "device/link_notes.hpp"
#include "results/record.hpp"

// The note due on figure `kind` of `pass`: only the write and the read without cache have one,
// and none in quorlane-mpi, whose figures add up ranks behind different links. `direct`: the run
// had -direct.
std::optional<link_note> figure_link_note(const run_record& run, const pass_record& pass, figure_kind kind,
                                          bool direct);

// Prints that note after the figure; the virtual machine's note once a run.
void print_link_note(const run_record& run, const pass_record& pass, figure_kind kind, bool direct);
