// The bytes of one stream's files (a writer's, or the eviction file). Each block is made
// afresh from a key of its stream, file and offset, so that no stretch of data appears twice
// anywhere in a run: no compressor finds anything to use, however far back it looks, and the
// stamps make every sector unique besides. Making a block costs two loads, an add and a store
// per 8 bytes, in vectors as wide as the CPU has (data/block_fill.hpp), into the stream's one
// block buffer, from which the kernel copies it still cached.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/buffer.hpp"

// The identity of pass `pass` (from 0) of the run of `run_seed`: in every stamp, and a key of
// every block.
std::uint64_t pass_identity(std::uint64_t run_seed, std::uint32_t pass);

struct data_pattern {
    block_buffer block;
    std::size_t block_bytes = 0;
    std::uint64_t identity = 0;
    std::uint32_t stream = 0;
};

// Readies the pattern of `stream` in the pass of `identity` for blocks of `block_bytes` (a
// multiple of 1 KiB), its buffer on a boundary of `alignment`; false when the memory can't be
// had (buffer_refusal says it).
bool make_pattern(data_pattern& pattern, std::uint64_t identity, std::uint32_t stream, std::size_t block_bytes,
                  std::size_t alignment);

// The block of file `file` at byte `offset` (a multiple of the block size), stamped; valid
// until the next call.
const unsigned char* pattern_block(data_pattern& pattern, std::uint32_t file, std::uint64_t offset);
