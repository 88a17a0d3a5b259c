// The run's files of results (-json) and its report page (-html): before the run, one that
// can't be written refuses the run; however the run ends, completed, failed or interrupted,
// each is written whole.
#pragma once

#include <string>
#include <vector>

#include "results/record.hpp"
#include "run/run_state.hpp"
#include "settings/settings.hpp"

// Starts `results` with the command line and the time, and has the files `settings` asks for
// written, from `results`, however the process ends; both must outlive the process's end.
// Returns the run's refusal when a file asked for can't be written, empty when all can.
std::string prepare_reports(const run_settings& settings, run_record& results, const stop_signal& stop,
                            const std::vector<std::string>& command_line);
