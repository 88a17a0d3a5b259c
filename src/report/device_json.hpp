// The results file's fields on the machine and the disk measured: host.cpu_model,
// host.virtualization, target.layers, target.devices, and each pass's notes on figures no
// link could carry (link_note). Field by field in docs/results-file.md.
#pragma once

#include <nlohmann/json.hpp>

#include "results/record.hpp"

void add_measured_on(nlohmann::ordered_json& document, const run_record& run);
