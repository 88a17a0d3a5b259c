// A buffer of blocks owned by one routine or worker, aligned for the device: a block read or
// written around the OS cache must start on a sector boundary in memory.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct aligned_delete {
    std::size_t alignment = 4096;
    void operator()(unsigned char* bytes) const;
};
using block_buffer = std::unique_ptr<unsigned char[], aligned_delete>;

// `bytes` on a boundary of `alignment` (a power of two); null when the memory can't be had.
block_buffer new_buffer(std::size_t bytes, std::size_t alignment);

// The fatal error of a buffer of `bytes` that could not be had.
std::string buffer_refusal(std::size_t bytes);
