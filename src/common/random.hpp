// The run's randomness: a seed that differs between any two runs, even two started in the same
// microsecond, letters for file names, and fast per-thread generators for the bytes written.
#pragma once

#include <cstddef>
#include <cstdint>

// A run's seed: the system's entropy source mixed with the process id and a high-resolution
// clock, so that runs started together never draw alike.
std::uint64_t draw_run_seed();

// Restarts the letters of file names from `seed`, the run's at its start.
void seed_names(std::uint64_t seed);

// A lower-case letter for a file name from the process's one stream of them; any thread may
// draw one.
char random_letter();

// splitmix64's finaliser: a well-spread 64-bit value from any input. Inline and constexpr:
// every sector's stamp calls it a dozen times, and its keys are computed at compile time.
constexpr std::uint64_t mix64(std::uint64_t value) {
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

// A generator owned by one thread, so no thread waits on another for random data.
struct byte_generator {
    std::uint64_t state;
};

// Distinct streams from one seed, numbered by the caller.
byte_generator generator_for(std::uint64_t seed, std::uint64_t stream_number);

void fill_random(byte_generator& generator, unsigned char* buffer, std::size_t size);
