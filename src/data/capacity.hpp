// The capacity check of -fill with -verify: every sector of every file read back is told
// apart, whether it holds what was written there or not, and where the data it holds was
// written, so that a device that keeps less than it offers (its address space wrapped: data
// written late comes back in place of earlier data) is told by how much.
#pragma once

#include <cstddef>
#include <cstdint>

#include "data/pattern.hpp"

inline constexpr std::uint64_t no_position = UINT64_MAX;

struct capacity_tally {
    std::uint64_t checked_bytes = 0;
    std::uint64_t verified_bytes = 0;  // held what was written there
    // In the order written (written_position), the first byte of the first sector that did not.
    std::uint64_t first_bad = no_position;
    // The smallest distance, in that order, between a sector and where the data it holds was
    // written in this run; 0 when no sector held data of another place.
    std::uint64_t aliasing_distance = 0;
};

// Where byte `offset` of file `file` of writer `stream` comes among all the bytes the run
// writes: the workers write their files side by side, file after file.
std::uint64_t written_position(std::uint32_t stream, std::uint32_t file, std::uint64_t offset,
                               std::uint64_t file_bytes, std::uint32_t worker_count);

// Tallies the `size` bytes `data` read at `offset` of the pattern's file `file`, sector by
// sector, against `expected`, what was written there.
void tally_read(capacity_tally& tally, const data_pattern& pattern, std::uint32_t file, std::uint64_t offset,
                const unsigned char* expected, const unsigned char* data, std::size_t size,
                std::uint64_t file_bytes, std::uint32_t worker_count);

// Adds `part`'s sectors to `whole`.
void add_tally(capacity_tally& whole, const capacity_tally& part);
