// The report page's tables, from the results document: every figure of every pass, the
// passes' spread, the steps, and what was measured where and how.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

std::string figure_tables(const nlohmann::ordered_json& results);

std::string context_tables(const nlohmann::ordered_json& results);
