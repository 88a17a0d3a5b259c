// The benchmark's phases and the end of a run, as main sequences them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results/record.hpp"
#include "workers/workers.hpp"

// Refuses, before any file exists, a run that needs more open files or more free space
// than the system offers; raises the open-files limit on the way.
void check_limits();

// With -direct: refuses, before any file exists, a directory whose file system can't bypass
// the OS cache and a block size it can't take; aligns the buffers as it needs, and says so.
void check_unbuffered_io();

// Its parts, for ranks that decide together: the open-files check's refusal (empty when the
// run fits); the bytes the run writes, with the eviction file or not; the free-space refusal.
std::string open_files_refusal();
// The refusal of a file larger than the file system `file_system_name` of `directory` holds
// (FAT's 4 GiB less one byte), the test files' or the eviction file's; empty when they fit.
std::string file_size_refusal(const std::string& directory, const std::string& file_system_name);
enum class eviction_file { counted, left_out };
std::uint64_t bytes_needed(eviction_file eviction);
std::string space_refusal(std::uint64_t needed, std::uint64_t free_bytes);

// One pass: eviction file, write phase, flush pass, both read phases with the purge between
// them, removal of the pass's files; its figures are printed and kept in current_run.
void run_pass(std::uint32_t pass_number);

// The run's start on the phase clock, from which the record places every phase and step.
extern std::int64_t run_start_us;

// Each phase returns its figure, its workers' results and its series. With several ranks the
// write phase starts forcing this rank's files to the device as soon as its writers end.
figure_record write_phase(std::vector<thread_param>& records);
// Forces the files (one process) or waits for that flush (a rank); the figure counts the
// write's bytes over the time from the write's start to the end of the flush.
figure_record flush_pass(const std::vector<thread_param>& records, const figure_record& written);

// Forces every open test file to the device, then closes it, on a thread of its own.
void start_flush();
// Waits for the flush started last, if any, and gives back to write_handles the handles it
// did not close; false, with none given back, when an interruption comes first in quorlane-mpi.
bool settle_flush();
figure_record read_phase(std::vector<thread_param>& records, bool with_cache);

// Every file of the run that the OS may have cached: the test files and the eviction file.
std::vector<std::string> run_files(const std::vector<thread_param>& records);

// The files the readers read (test_file_name of their read_prefix) and the eviction file.
std::vector<std::string> read_files(const std::vector<thread_param>& records);

// Closes and removes every file the run created, reporting each removal that fails;
// false when one did.
bool remove_run_files(const std::vector<thread_param>& records);

// When a fatal error or an interruption stopped the workers: reports it, removes the run's
// files and ends the process. Returns otherwise. With several ranks, a fatal error on any
// rank ends every rank here: rank 0 reports the first, with the rank that met it.
void stop_if_requested(const std::vector<thread_param>& records);

// Returns once every rank is here; ends this rank as interrupted when it is while it waits.
void wait_for_every_rank(const std::vector<thread_param>& records);
