// The run's files of results (-json) and its report page (-html): before the run, one that
// can't be written refuses the run; however the run ends, completed, failed or interrupted,
// each is written whole.
#pragma once

#include <string>
#include <vector>

#include "platform/report_target.hpp"
#include "results/record.hpp"
#include "run/run_state.hpp"
#include "settings/settings.hpp"

// Where the files `settings` asks for are saved, from the check before the run to the save;
// nothing is saved until the check has found that each can be.
struct report_places {
    bool checked = false;
    report_target results;
    report_target page;
};

// Starts `results` with the command line and the time, and checks that the files `settings`
// asks for can be saved, keeping where in `places`; when some are asked for and all can be,
// `results` is given the host and the target as the run starts. Returns the run's refusal when
// a file asked for can't be written, empty when all can.
std::string prepare_reports(const run_settings& settings, run_record& results,
                            const std::vector<std::string>& command_line, report_places& places);

// As the process ends with `status` and `message` (its error, empty for none): saves the files
// checked in `places`, from `results`, and returns the status to exit with: a file that can't
// be saved turns success into failure; an interruption that cuts a save short, its own status.
int save_reports(const run_settings& settings, run_record& results, report_places& places, const stop_signal& stop,
                 int status, const std::string& message);
