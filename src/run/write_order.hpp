// With the capacity check, where each block the writers wrote came in the order the blocks
// completed across all of them: the bytes all workers had written before it. A device that
// keeps less than it offers loses or overwrites data by the order it arrives, which
// concurrent writers interleave; the stamps can't say it, since -verify makes them again from
// the file and the offset alone. Kept compact: one entry per group of a worker's consecutive
// blocks, each group as small as keeps the record within its entries, a block placed after
// the first of its group as if the group had been written in one go.
#pragma once

#include <cstdint>
#include <vector>

// Enough for a block's resolution up to 2^20 blocks, 8 MiB of record.
inline constexpr std::uint64_t write_order_entries = std::uint64_t{1} << 20;
inline constexpr std::uint64_t unplaced = UINT64_MAX;

struct write_order {
    std::uint64_t block_bytes = 0;
    std::uint64_t blocks_per_worker = 0;
    std::uint64_t blocks_per_group = 1;
    std::uint64_t groups_per_worker = 0;
    std::vector<std::uint64_t> positions;  // by worker, then group; unplaced until written
};

// Sizes the record for `workers` writing `blocks_per_worker` blocks of `block_bytes` each.
void prepare_write_order(write_order& order, std::uint32_t workers, std::uint64_t blocks_per_worker,
                         std::uint64_t block_bytes);

// Worker `worker`'s block `block` (counted over all its files) was written at `position`.
// Each worker writes only its own entries.
void note_block_written(write_order& order, std::uint32_t worker, std::uint64_t block, std::uint64_t position);

// Where byte `offset` of the block `block` of worker `worker` came in the order written;
// unplaced for a block never written or outside the record.
std::uint64_t position_written(const write_order& order, std::uint32_t worker, std::uint64_t block,
                               std::uint64_t offset_in_block);
