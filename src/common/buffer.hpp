// A buffer of blocks owned by one routine or worker, aligned for the device: a block read or
// written around the OS cache must start on a sector boundary in memory.
#pragma once

#include <cstddef>
#include <memory>

// 4096, raised before the first buffer is made when unbuffered I/O needs more.
extern std::size_t buffer_alignment;

struct aligned_delete {
    void operator()(unsigned char* bytes) const;
};
using block_buffer = std::unique_ptr<unsigned char[], aligned_delete>;

// Null when the memory can't be had; the fatal error is then recorded and the caller stops.
block_buffer new_buffer(std::size_t bytes);
