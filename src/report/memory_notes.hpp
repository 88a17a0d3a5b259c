// Notes for figures that would show memory speeds as the disk's; none of them stops the run.
#pragma once

#include <string>
#include <vector>

#include "platform/os_cache.hpp"
#include "results/record.hpp"

// Says once, before any file exists, when `directory`, the one under test, is a memory
// filesystem, or on a loop device over a file in memory (from the target found); in
// quorlane-mpi, once for each rank whose directory is on a memory file system, naming the rank.
void note_memory_file_system(const run_record& results, const std::string& directory);
// Says when the test files inherit the compression or encryption of `directory` (Windows).
void note_inherited_transforms(const run_record& results, const std::string& directory);

// Says how much of the test files the OS cache still holds, when more than 1 %: the read
// about to start would then not be the disk's. By rank, from combine_residency; in
// quorlane-mpi each rank's note names it.
void note_still_cached(const run_record& results, const std::vector<cache_residency>& of_rank);

// Says, the same way, how much of the test files the OS cache holds after an unbuffered
// write, when more than 1 %: the file system did not bypass its cache.
void note_cached_after_unbuffered_write(const run_record& results, const std::vector<cache_residency>& of_rank);
