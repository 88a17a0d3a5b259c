// The results file: one JSON document describing the run, its settings, the machine and the
// target, and every pass's figures, steps, workers and series, rendered from the finished
// record alone (report/finished_record.hpp). Field by field in the README.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "results/record.hpp"

inline constexpr int results_schema_version = 1;

nlohmann::ordered_json results_document(const run_record& run);

std::string results_json(const nlohmann::ordered_json& document);
