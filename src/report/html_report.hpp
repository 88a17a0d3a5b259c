// The report page (-html): one self-contained HTML file with the run's figures, notes,
// charts and tables, drawn from the same record and results document as the results file.
// It asks for nothing over any network: styles are inline, charts are inline SVG.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "results/record.hpp"

std::string html_page(const run_record& run, const nlohmann::ordered_json& results);

// The run's notes as the page lists them, each an HTML list item; empty when it has none.
std::string note_items(const nlohmann::ordered_json& results);
