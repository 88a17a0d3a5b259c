// The bytes of one stream's files (a writer's, or the eviction file): a pool of random bytes,
// a whole number of blocks and at least 1 MiB, walked block by block from a start that moves
// with the file. No stretch of up to 1 MiB repeats within itself, so no compressor working on
// records of up to 1 MiB saves anything; the stamps make every sector unique. Each block comes
// straight from the pool with its sectors' stamps set in place: nothing is generated or copied
// per block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/buffer.hpp"

// The pass being run, from 0; its identity is in every stamp and seeds every pool.
extern std::uint32_t current_pass;

std::uint64_t pass_identity();

struct data_pattern {
    block_buffer pool;
    std::size_t block_bytes = 0;
    std::size_t pool_blocks = 0;
    // Blocks after which sectors start at the same place in a block again: files move their
    // start by whole periods, so a pool slot always carries its stamps at the same places
    // and the pool's other bytes never change.
    std::size_t period_blocks = 0;
    std::uint64_t identity = 0;
    std::uint32_t stream = 0;
};

// Draws the pool of `stream` for blocks of `block_bytes` (a multiple of 1 KiB); false, with
// the fatal error recorded, when the memory can't be had.
bool make_pattern(data_pattern& pattern, std::uint32_t stream, std::size_t block_bytes);

// The block of file `file` at byte `offset` (a multiple of the block size), stamped; valid
// until the pool slot is used again.
const unsigned char* pattern_block(data_pattern& pattern, std::uint32_t file, std::uint64_t offset);
