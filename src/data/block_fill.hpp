// The bytes of a block before its stamps: eight additive lagged Fibonacci generators side by
// side, one word of each in every 64-byte row, x[n] = x[n - 15] + x[n - 7] (mod 2^64) row by
// row, seeded afresh for every block. Lags of whole rows keep each load on the boundary of an
// earlier store as wide as itself, which the CPU forwards, so vector code of any width runs at
// close to memset's speed; its additions are exact, so every width makes the same bytes.
// x^15 + x^7 + 1 is primitive: even a lane's lowest bit repeats only after 32,767 rows (2 MiB),
// beyond the largest block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

struct fill_variant {
    const char* name;
    bool (*runs_here)();  // the CPU has the instructions and the OS saves their registers
    void (*fill)(std::uint64_t key, std::uint64_t* words, std::size_t count);
};

// Every variant built in, the portable one first and the fastest last.
std::span<const fill_variant> fill_variants();

// Fills `count` words (a multiple of 8) from `key` with the fastest variant that runs here.
void fill_block_words(std::uint64_t key, std::uint64_t* words, std::size_t count);
