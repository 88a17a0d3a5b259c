// The worker threads' entry points and the record the driver hands to each.
#pragma once

#include <cstdint>
#include <string>

#include "data/verify.hpp"
#include "latency/stalls.hpp"
#include "run/run_state.hpp"

struct worker {
    run_state* run = nullptr;
    std::uint32_t number = 0;    // 0 to worker_count - 1; worker 0's files pace the progress line
    std::string file_prefix;     // "vellumcrate_" + 8 random letters
    bool with_cache = false;     // selects the read phase's progress label
    std::uint64_t bytes = 0;     // moved by this worker in the current phase
    std::int64_t end_us = 0;     // when it finished the phase, on the phase clock
    std::uint32_t stream = 0;    // the writer's number in the stamps, unique among all ranks
    std::uint64_t pass_identity = 0;  // the pass's (data/pattern.hpp), in the stamps of what it writes or reads
    // The files the reader reads and their writer's stream: its own writer's, or with several
    // ranks, in the read without cache, another rank's.
    std::string read_prefix;
    std::uint32_t read_stream = 0;
    // What -verify found, when it was the run's first fatal error.
    mismatch_record mismatch;
    call_times times;  // of its calls in the current phase
};

// Creates the worker's files_per_worker test files and leaves them open for the flush pass.
void write_worker(worker* self);

// Reads back the files the writer with the same number created.
void read_worker(worker* self);
