// The comparison on the console, as a table, and as data for scripts (-json).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "compare/comparison.hpp"

// The runs and their labels, one row a figure and one column a run, then the settings that differ.
std::string comparison_table(const comparison& compared);

// For each phase that went in stages in some run, each run's stages side by side; empty when
// none did.
std::string stages_table(const comparison& compared);

nlohmann::ordered_json comparison_document(const comparison& compared);
