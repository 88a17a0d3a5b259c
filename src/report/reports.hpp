// The run's files of results (-json) and its report page (-html): before the run, one that
// can't be written refuses the run; however the run ends, completed, failed or interrupted,
// each is written whole.
#pragma once

#include <string>
#include <vector>

void prepare_reports(const std::vector<std::string>& command_line);
