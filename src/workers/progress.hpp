// The live progress line that worker 0 keeps during a phase.
#pragma once

#include <cstdint>

// Off with several ranks: no rank sees the bytes the others move as they go, and one rank's
// rate is not the run's.
extern bool live_progress;

// Reset for every file of worker 0.
struct progress_state {
    std::uint32_t dots = 0;  // which dots text comes next, 0 to 4
    std::int64_t last_sample = 0;
};

void start_file(progress_state& state);

// Taken by worker 0 after every block. Stamps phase_end; at most once per whole-second
// change, prints `label` and the rate of all the bytes moved so far by every worker.
void progress_step(progress_state& state, const char* label);
