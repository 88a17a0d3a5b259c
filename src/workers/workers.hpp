// The worker threads' entry points and the record the driver hands to each.
#pragma once

#include <cstdint>
#include <string>

#include "data/capacity.hpp"
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
    writer_files reads;
    std::uint32_t read_stream = 0;
    // Where -time stopped it: the file and the bytes of it done.
    bool cut_short = false;
    std::uint32_t stopped_file = 0;
    std::uint64_t stopped_offset = 0;
    // What -verify found, when it was the run's first fatal error; with the capacity check, the
    // reader's first mismatch, and what all it read holds.
    mismatch_record mismatch;
    capacity_tally capacity;
    call_times times;  // of its calls in the current phase
};

// The worker stopped at the phase's deadline, `offset` bytes into its file `index`.
inline void stop_at_deadline(worker& self, std::uint32_t index, std::uint64_t offset) {
    self.cut_short = true;
    self.stopped_file = index;
    self.stopped_offset = offset;
}

// Creates the worker's files_per_worker test files and leaves them open for the flush pass;
// with -time, stops at the phase's deadline.
void write_worker(worker* self);

// Reads back the files the writer with the same number created (`reads`); with -time, stops
// at the phase's deadline.
void read_worker(worker* self);
