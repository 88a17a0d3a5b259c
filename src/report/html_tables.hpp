// The report page's tables, from the finished record: every figure of every pass, the
// passes' spread, the steps, and what was measured where and how.
#pragma once

#include <string>

#include "results/record.hpp"

std::string figure_tables(const run_record& run);

std::string context_tables(const run_record& run);
