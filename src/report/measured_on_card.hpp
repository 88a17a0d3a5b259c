// The report page's "Measured on" card: the drive with its link on one line, the machine on
// the next, from the finished record.
#pragma once

#include <string>

#include "results/record.hpp"

std::string measured_on_card(const run_record& run);
