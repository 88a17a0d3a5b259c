// How a worker's blocks reach its file: each is submitted at an explicit offset and completes
// later with what it moved, its error and the time from its submission to its completion.
// An engine is a table of calls; the synchronous engine moves each block as it is submitted,
// and a test may give the run an engine of its own that stands in for a device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "platform/file_io.hpp"

// A write from `source` or a read into `target`, the other null; the buffer is the engine's
// until the block completes.
struct block_request {
    const unsigned char* source = nullptr;
    unsigned char* target = nullptr;
    std::size_t size = 0;
    std::uint64_t offset = 0;
};

struct block_completion {
    block_request request;
    std::int64_t bytes = 0;  // moved; -1 on an error, told by `reason`
    std::string reason;
    std::int64_t submitted_ns = 0;  // on the steady clock
    std::int64_t completed_ns = 0;
};

struct io_engine;

struct engine_calls {
    // Starts moving the block: false, with its completion already queued as an error, when it
    // could not even be submitted.
    bool (*submit)(io_engine& engine, const block_request& request);
    // Waits for the next block to complete; false when none is in flight.
    bool (*complete)(io_engine& engine, block_completion& done);
};

struct io_engine {
    const engine_calls* calls = nullptr;
    void* device = nullptr;  // the engine's own state, none for the synchronous engine
    os_file file = no_file;  // the file the blocks go to, opened for the run's mode
    std::uint64_t position = 0;  // the file's own position, where the last block moved by it ended
    std::deque<block_completion> completed;  // done and not yet taken
    std::uint32_t in_flight = 0;              // submitted and not yet taken
};

extern const engine_calls synchronous_engine;

// The engine a run's workers use unless told otherwise: the synchronous one. A test program
// may link a definition of its own.
const engine_calls& chosen_engine(void*& device);

// An engine of the chosen kind, with no file yet.
io_engine make_engine();

// The blocks now go to `file`; none may be in flight.
inline void attach_file(io_engine& engine, os_file file) {
    engine.file = file;
    engine.position = 0;
}

inline bool submit_block(io_engine& engine, const block_request& request) {
    ++engine.in_flight;
    return engine.calls->submit(engine, request);
}

inline bool next_completion(io_engine& engine, block_completion& done) {
    if (engine.in_flight == 0 || !engine.calls->complete(engine, done)) return false;
    --engine.in_flight;
    return true;
}

// Takes the oldest of the completions already queued: the complete call of an engine that
// completes its blocks as it submits them.
bool take_queued_completion(io_engine& engine, block_completion& done);

// The steady clock the completions are timed on, in nanoseconds.
std::int64_t engine_clock_ns();

// Moves the block at once with the platform's calls, timing the call: what a synchronous
// engine does, and what another engine's stand-in may pass through to. A block that starts
// where the file's position is goes through the position's own calls, as a program that
// writes or reads a file from its start to its end makes them.
block_completion move_block_now(io_engine& engine, const block_request& request);
