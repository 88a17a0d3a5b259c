// Random letters for file names (the C library's generator, main thread only) and fast
// per-thread generators for the bytes written.
#pragma once

#include <cstddef>
#include <cstdint>

// The run's seed, taken from the clock at start; every byte generator derives from it.
extern std::uint64_t run_seed;

char random_letter();

// A byte generator owned by one thread, so no thread waits on another for random data.
struct byte_generator {
    std::uint64_t state;
};

// The generator of stream `stream_number` (a worker's index, or a number of its own for the
// eviction file): distinct streams from the one seed.
byte_generator generator_for(std::uint64_t stream_number);

void fill_random(byte_generator& generator, unsigned char* buffer, std::size_t size);
