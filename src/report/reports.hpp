// The run's files of results (-json): before the run, one that can't be written refuses the
// run; however the run ends, completed, failed or interrupted, it is written whole.
#pragma once

#include <string>
#include <vector>

void prepare_reports(const std::vector<std::string>& command_line);
