// Proving the data came back as written: what was read is compared with the same bytes made
// again from the pattern, never stored; a sector that differs is named and diagnosed from
// its stamp: another file's data, an earlier run's, no data of this run, or flipped bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "data/pattern.hpp"

// Compares `size` bytes read at `offset` of the pattern's file `file`, named `name`. At the
// first byte that differs, records the fatal error with its diagnosis and returns false.
bool check_block(data_pattern& pattern, std::uint32_t file, std::uint64_t offset, const unsigned char* data,
                 std::size_t size, const std::string& name);

// The file `name` ended at `offset`, `missing` bytes short of what was written there.
void report_short_file(const std::string& name, std::uint64_t offset, std::uint64_t missing);
