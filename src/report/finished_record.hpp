// The record as the reports render it: what the run measured, with how it ended, the settings
// it ran with, the machine and the target (asked of the OS now, so that the free space is the
// end's), and the notes on its figures. Both reports are made from it alone.
#pragma once

#include <string>

#include "results/record.hpp"
#include "settings/settings.hpp"

run_record finished_record(const run_settings& settings, const run_record& run, int exit_status,
                           const std::string& message);
