// The results file: one JSON document describing the run, its settings, the machine and the
// target, and every pass's figures, steps, workers and series, rendered from the finished
// record alone (report/finished_record.hpp). Field by field in docs/results-file.md.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "results/record.hpp"
#include "settings/options.hpp"
#include "settings/settings.hpp"

// 2: the capacity check's offsets count in the order the blocks were written across workers.
inline constexpr int results_schema_version = 2;
// The oldest version quorlane-report still reads.
inline constexpr int oldest_results_schema_version = 1;

nlohmann::ordered_json results_document(const run_record& run);

// The results file's settings: every option of `options` with a key, and the sizes they make.
nlohmann::ordered_json settings_json(const run_settings& settings, std::span<const option_row> options);

std::string results_json(const nlohmann::ordered_json& document);
