// The report page (-html): one self-contained HTML file with the run's figures, notes,
// charts and tables, rendered from the finished record alone, as the results file is. It asks
// for nothing over any network: styles are inline, charts are inline SVG.
#pragma once

#include <string>

#include "results/record.hpp"

std::string html_page(const run_record& run);

// The run's notes as the page lists them, each an HTML list item; empty when it has none.
std::string note_items(const run_record& run);
