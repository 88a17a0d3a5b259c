// The process's open files: how many it may hold, how many it holds.
#pragma once

#include <cstdint>

// Raises the per-process limit of open files as far as the OS allows (where the process may,
// its hard limit too) and returns the limit now in force.
std::uint64_t raise_open_files_limit();

// Descriptors this process holds open now, counted up to `limit`; false where the OS can't tell.
bool open_descriptor_count(std::uint64_t limit, std::uint64_t& count);
