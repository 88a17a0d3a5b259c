// The benchmark's phases and the end of a run, as main sequences them.
#pragma once

#include <cstdint>
#include <vector>

#include "results/record.hpp"
#include "workers/workers.hpp"

// Refuses, before any file exists, a run that needs more open files or more free space
// than the system offers; raises the open-files limit on the way.
void check_limits();

// With -direct: refuses, before any file exists, a directory whose file system can't bypass
// the OS cache and a block size it can't take; aligns the buffers as it needs, and says so.
void check_unbuffered_io();

// One pass: eviction file, write phase, flush pass, both read phases with the purge between
// them, removal of the pass's files; its figures are printed and kept in current_run.
void run_pass(std::uint32_t pass_number);

// The run's start on the phase clock, from which the record places every phase and step.
extern std::int64_t run_start_us;

// Each phase returns its figure, its workers' results and its series.
figure_record write_phase(std::vector<thread_param>& records);
// Forces every written file to the device; the figure counts `bytes_written` and is timed
// from the write phase's start (phase_start is still that).
figure_record flush_pass(const std::vector<thread_param>& records, std::uint64_t bytes_written);
figure_record read_phase(std::vector<thread_param>& records, bool with_cache);

// Every file of the run that the OS may have cached: the test files and the eviction file.
std::vector<std::string> run_files(const std::vector<thread_param>& records);

// Closes and removes every file the run created, reporting each removal that fails;
// false when one did.
bool remove_run_files(const std::vector<thread_param>& records);

// When a fatal error or an interruption stopped the workers: reports it, removes the run's
// files and ends the process. Returns otherwise.
void stop_if_requested(const std::vector<thread_param>& records);
