// The comparison on the console, as a table, and as data for scripts (-json).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "compare/comparison.hpp"

// The runs and their labels, one row a figure and one column a run, then the settings that differ.
std::string comparison_table(const comparison& compared);

nlohmann::ordered_json comparison_document(const comparison& compared);
