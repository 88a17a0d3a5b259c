// The results file's fields on a phase's stages: each figure whose series held any gains
// `stages`, in order, and `stages_text`, the note that tells them, where it says something.
// Field by field in the README.
#pragma once

#include <nlohmann/json.hpp>

#include "results/record.hpp"

nlohmann::ordered_json stage_json(const stage_record& stage);

void add_stages(nlohmann::ordered_json& document, const run_record& run);
