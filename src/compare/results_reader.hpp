// The record a results file holds, read field by field from its document through
// compare/checked_json.hpp: the run's fields here, its passes in pass_reader.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "compare/checked_json.hpp"
#include "results/record.hpp"
#include "settings/options.hpp"

// Bounds no run reaches, so that no arithmetic of the reports on what they bound overflows.
inline constexpr std::int64_t most_microseconds = 3155760000000000;  // a century
inline constexpr std::uint64_t most_bytes = std::numeric_limits<std::int64_t>::max();
inline constexpr double most_mb_per_second = 1e13;  // every byte there is, in a microsecond
inline constexpr std::size_t most_ranks = 1 << 20;

// The record, with the first fault in `reading` when there is one (the record is then of no use).
run_record record_of(json_reading& reading, const json_place& root);

// The settings: every option of `options` with a key, those always written required, each in
// its range as the command line accepts it, and the sizes they make checked against them.
settings_record settings_of(json_reading& reading, const json_place& settings, std::span<const option_row> options);

// A figure's stages and the note that tells them (compare/stages_reader.cpp): in order, one
// following on from the other, within the figure's bytes and time.
void read_stages(json_reading& reading, const json_place& figure_place, figure_record& figure);

// The passes, read once the settings and the ranks they are checked against are.
void read_passes(json_reading& reading, const json_place& passes, run_record& run);
