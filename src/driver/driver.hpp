// The benchmark's phases and the end of a run, as main sequences them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/ending.hpp"
#include "report/reports.hpp"
#include "results/record.hpp"
#include "run/run_state.hpp"
#include "workers/workers.hpp"

// Why a run stopped before its end, as the step that found it tells main.
enum class run_stop { none, failed, interrupted, files_left };

// One run as main drives it: its settings, its state, what it measured, the workers of the
// pass, where its reports go, why it stopped, and what the threads main stopped waiting for
// at a console's close still use, kept until the process ends.
struct benchmark_run {
    run_settings settings;
    run_state state{settings};
    run_record results;
    std::vector<worker> workers;
    report_places reports;
    run_stop stopped_by = run_stop::none;
    std::vector<std::shared_ptr<void>> left_running;
};

// How the process ends, as main is given it: the status, the error it ends with (empty for
// none), and what is printed once the results are saved, on a line of its own (when the
// console is going away, the results come first).
struct run_outcome {
    int status = 0;
    std::string message;
    std::string said_after_saving;
};

// Says how many files, and how large, runs that ended without removing them (killed, crashed,
// cut by a power cut) left in the directory, as their markers tell (run/run_marker.hpp);
// with -clean removes exactly those instead, and says so. A live run's files are never touched.
void settle_leftovers(const run_state& run);

// The refusal, before any file exists, of a run that needs more open files or more free space
// than the system offers (none when it fits); raises the open-files limit on the way.
run_refusal check_limits(const run_settings& settings);

// With -direct: refuses, before any file exists, a directory whose file system can't bypass
// the OS cache and a block size it can't take (the OS's own unit, the logical sector); aligns
// the run's buffers as it needs, and says so. Returns the refusal, none when the run may go on.
run_refusal check_unbuffered_io(run_state& run);

// The largest physical sector of `target`'s devices that `block_bytes` is not a multiple of,
// 0 when there is none: on a disk of 4 KiB sectors that takes 512-byte ones (512e), such
// blocks make the drive read and rewrite whole sectors.
std::uint32_t partial_physical_sector(const target_identity& target, std::uint32_t block_bytes);

// With -direct, once the device is known: says when the blocks don't cover its physical sectors.
void note_partial_physical_sectors(const run_record& results, const run_settings& settings);

// Readies the run for pass `pass_number` (from 0): its record, its write-handle table, and
// its workers, numbered, with their streams and the pass's identity.
void prepare_pass(benchmark_run& run, std::uint32_t pass_number);

// One pass: eviction file, write phase, flush pass, both read phases with the purge between
// them, removal of the pass's files; its figures are printed and kept in the run's results.
// False when the run stops here, why kept in `run.stopped_by`.
bool run_pass(benchmark_run& run, std::uint32_t pass_number);

// Each phase returns its figure, its workers' results and its series; none when the run
// stops here, why kept in `run.stopped_by`. With several ranks the write phase starts forcing
// this rank's files to the device as soon as its writers end.
std::optional<figure_record> write_phase(benchmark_run& run);
// Forces the files (one process) or waits for that flush (a rank); the figure counts the
// write's bytes over the time from the write's start to the end of the flush, and the flush
// is kept among the pass's steps.
std::optional<figure_record> flush_pass(benchmark_run& run, const figure_record& written);

// Forces every open test file to the device, then closes it, on a thread of its own.
void start_flush(run_state& run);
// Waits for the flush started last, if any, and gives back to the write-handle table the
// handles it did not close; false, with none given back, when an interruption comes first in
// quorlane-mpi.
bool settle_flush(run_state& run);
std::optional<figure_record> read_phase(benchmark_run& run, bool with_cache);

// The test files the workers have created so far, with their identities.
std::vector<directory_entry> written_files(benchmark_run& run);

// The files the readers read: test_file_entry of their prefix, as many as their writer made,
// with the identities known of them.
std::vector<directory_entry> read_files(const benchmark_run& run);

// Closes and removes every file the run created, reporting each removal that fails;
// false when one did.
bool remove_run_files(benchmark_run& run);

// Whether the run goes on: false once a fatal error or an interruption has stopped the
// workers, with which it was kept in `run.stopped_by`. With several ranks every rank answers
// alike, a fatal error on any rank stopping them all.
bool run_goes_on(benchmark_run& run);

// Records why the run stops, for main, and returns false.
bool run_stops(benchmark_run& run, run_stop why);

// The end of a run that stopped, as `run.stopped_by` says: the error said (rank 0 says the
// ranks' first, with the rank that met it) or the interruption, the run's files removed where
// that is still to do, and the status and message the process ends with.
run_outcome stopped_run_outcome(benchmark_run& run);

// Runs `step`, one of main's untimed steps, on a thread of its own while main waits; when the
// console is closing, main stops waiting and the run stops as interrupted (false), the step
// left running until the process ends: it must own whatever it uses but the run.
bool run_abandonable(benchmark_run& run, const std::function<void()>& step);

// Returns true once every rank is here; false when this rank is interrupted while it waits.
bool wait_for_every_rank(benchmark_run& run);
