// What the record says of the machine and of the target directory, asked of the OS once, at
// the start of the run, so that the reports render the record alone as the run ends.
#pragma once

#include "results/record.hpp"
#include "settings/settings.hpp"

// Puts the host and the target into `run`, each OS query given the time limit of the device's
// description (device/identity.hpp); one without an answer in time leaves its fields unknown,
// the target still with its path.
void capture_run_context(run_record& run, const run_settings& settings);
