// The run's figures on the console: a result line per figure, and with several passes a
// heading per pass and the passes' medians at the end, so that the last four lines are
// always the four figures.
#pragma once

#include <cstdint>
#include <string>

#include "results/record.hpp"

// The start of the figure's line and of its progress line: "\r", its label, padded, ": ".
std::string console_label_of(figure_kind kind);

void print_result(figure_kind kind, std::uint64_t kib_per_ms);

// After a figure's result line, when its figure rounds down to 0 Mo/s but bytes moved: the rate
// in KB/s.
void print_slow_figure_note(const figure_record& figure);

// With -latency, after a figure's result line: what its calls took and its longest call.
void print_latency_notes(figure_kind kind, const figure_record& figure);

void print_pass_heading(std::uint32_t pass, std::uint32_t pass_count);

void print_medians(const run_record& run);

// The capacity check's verdict, as a Note line, and printed.
std::string capacity_note(const capacity_record& capacity);

// A console note as the results file and the page give it: without its "Note: ".
std::string without_note_prefix(const std::string& note);
void note_capacity(const capacity_record& capacity);

// With -fill, after the banner: what the run will write.
void note_fill(const run_settings& settings);
