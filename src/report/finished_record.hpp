// The record as the reports render it: what the run measured, with the machine and the
// target its start found (report/run_context.hpp), how it ended, the settings it ran with, and
// the notes on its figures. Both reports are made from it alone; nothing here asks the OS.
#pragma once

#include <string>

#include "results/record.hpp"
#include "settings/settings.hpp"

run_record finished_record(const run_settings& settings, const run_record& run, int exit_status,
                           const std::string& message);
