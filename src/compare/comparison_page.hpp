// The comparison's page: one self-contained HTML file, drawn with the report page's style,
// charts and text, asking for nothing over any network.
#pragma once

#include <string>

#include "compare/comparison.hpp"

std::string comparison_page(const comparison& compared);

// Run `run` of `runs`' colour, in every table and chart of the page.
std::string run_colour(std::size_t run);
