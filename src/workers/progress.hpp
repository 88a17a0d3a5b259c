// The live progress line of a phase. A thread of its own prints it from the bytes every worker
// has moved, so that a console that takes no output (a paused terminal, a slow pipe) holds up
// no worker's I/O; worker 0's files still set its cadence.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "run/run_state.hpp"

// Worker 0 says when (on the phase clock) it starts each file, and when it has ended.
void progress_file_started(phase_state& phase, std::int64_t at);
void progress_files_ended(phase_state& phase);

// The printer's own state, reset for every file of worker 0.
struct progress_state {
    std::uint32_t dots = 0;  // which dots text comes next, 0 to 4
    std::int64_t last_sample = 0;
    std::int64_t file_start = 0;  // of worker 0's file the two above are for
};

// At `now`, while worker 0 is in a file: once the clock's whole second has moved past the last
// sample's (or the file's start), prints `label` and the rate of all the bytes moved so far
// in `phase`; with its outlook shown (-fill or -time), then how far the phase has come and how long it has left.
// Returns the length of what it printed, 0 for nothing.
std::size_t progress_tick(progress_state& state, const phase_state& phase, const char* label, std::int64_t now);

// The share of the phase done, from its bytes and with -time its deadline, and the time it
// has left, as the progress line says them.
std::string phase_outlook(const phase_state& phase, std::int64_t now);

struct progress_printer {
    std::thread thread;
    std::mutex lock;
    std::condition_variable stop_asked;
    bool stopping = false;
    std::size_t longest_line = 0;  // of the lines printed, "\r" included
    bool outlook_shown = false;    // the phase's, which makes its lines longer than the figure's
};

// Hidden with several ranks: no rank sees the bytes the others move as they go, and one rank's
// rate is not the run's.
enum class progress_line { shown, hidden };

// Ticks at every whole second of the clock until stopped; with the line hidden, or no thread
// to be had, there is no progress line.
void start_progress(progress_printer& printer, phase_state& phase, const char* label, progress_line line);

// Returns once the printer has printed its last sample.
void stop_progress(progress_printer& printer);
