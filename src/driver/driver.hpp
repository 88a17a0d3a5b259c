// The benchmark's phases and the end of a run, as main sequences them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results/record.hpp"
#include "run/run_state.hpp"
#include "workers/workers.hpp"

// One run as main drives it: its state, what it measured, and the workers of the pass.
struct benchmark_run {
    run_state state;
    run_record results;
    std::vector<worker> workers;
};

// Refuses, before any file exists, a run that needs more open files or more free space
// than the system offers; raises the open-files limit on the way.
void check_limits();

// With -direct: refuses, before any file exists, a directory whose file system can't bypass
// the OS cache and a block size it can't take; aligns the run's buffers as it needs, and says so.
void check_unbuffered_io(run_state& run);

// Readies the run for pass `pass_number` (from 0): its record, its write-handle table, and
// its workers, numbered, with their streams and the pass's identity.
void prepare_pass(benchmark_run& run, std::uint32_t pass_number);

// One pass: eviction file, write phase, flush pass, both read phases with the purge between
// them, removal of the pass's files; its figures are printed and kept in the run's results.
void run_pass(benchmark_run& run, std::uint32_t pass_number);

// Each phase returns its figure, its workers' results and its series. With several ranks the
// write phase starts forcing this rank's files to the device as soon as its writers end.
figure_record write_phase(benchmark_run& run);
// Forces the files (one process) or waits for that flush (a rank); the figure counts the
// write's bytes over the time from the write's start to the end of the flush, and the flush
// is kept among the pass's steps.
figure_record flush_pass(benchmark_run& run, const figure_record& written);

// Forces every open test file to the device, then closes it, on a thread of its own.
void start_flush(run_state& run);
// Waits for the flush started last, if any, and gives back to the write-handle table the
// handles it did not close; false, with none given back, when an interruption comes first in
// quorlane-mpi.
bool settle_flush(run_state& run);
figure_record read_phase(benchmark_run& run, bool with_cache);

// The test files the workers have created so far, with their identities.
std::vector<directory_entry> written_files(benchmark_run& run);

// The files the readers read: test_file_entry of their prefix, as many as their writer made,
// with the identities known of them.
std::vector<directory_entry> read_files(const benchmark_run& run);

// Closes and removes every file the run created, reporting each removal that fails;
// false when one did.
bool remove_run_files(benchmark_run& run);

// When a fatal error or an interruption stopped the workers: reports it, removes the run's
// files and ends the process. Returns otherwise. With several ranks, a fatal error on any
// rank ends every rank here: rank 0 reports the first, with the rank that met it.
void stop_if_requested(benchmark_run& run);

// Returns once every rank is here; ends this rank as interrupted when it is while it waits.
void wait_for_every_rank(benchmark_run& run);
