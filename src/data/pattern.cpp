#include "data/pattern.hpp"

#include "common/random.hpp"
#include "data/stamp.hpp"

namespace {

// An additive lagged Fibonacci generator, x[n] = x[n - 100] + x[n - 37] (mod 2^64), seeded
// afresh for every block. Its lags let the compiler add two words at a time, at about three
// quarters of memcpy's speed; generators that scramble every word ran at a third of it or less.
constexpr std::size_t long_lag = 100;
constexpr std::size_t short_lag = 37;

// The key of file `file` of the pattern's stream and pass.
std::uint64_t file_key(const data_pattern& pattern, std::uint32_t file) {
    return mix64(pattern.identity ^ mix64(std::uint64_t{pattern.stream} << 32 | file));
}

void fill_block(const data_pattern& pattern, std::uint32_t file, std::uint64_t offset) {
    byte_generator seed = generator_for(file_key(pattern, file), offset);
    fill_random(seed, pattern.block.get(), long_lag * 8);
    auto* words = reinterpret_cast<std::uint64_t*>(pattern.block.get());
    const std::size_t count = pattern.block_bytes / 8;
    for (std::size_t k = long_lag; k < count; ++k) words[k] = words[k - long_lag] + words[k - short_lag];
}

}  // namespace

std::uint64_t pass_identity(std::uint64_t run_seed, std::uint32_t pass) { return mix64(run_seed ^ mix64(pass + 1)); }

bool make_pattern(data_pattern& pattern, std::uint64_t identity, std::uint32_t stream, std::size_t block_bytes,
                  std::size_t alignment) {
    pattern.block_bytes = block_bytes;
    pattern.identity = identity;
    pattern.stream = stream;
    pattern.block = new_buffer(block_bytes, alignment);
    return static_cast<bool>(pattern.block);
}

const unsigned char* pattern_block(data_pattern& pattern, std::uint32_t file, std::uint64_t offset) {
    fill_block(pattern, file, offset);
    unsigned char* block = pattern.block.get();
    const std::uint64_t end = offset + pattern.block_bytes;
    for (std::uint64_t sector = (offset + sector_bytes - 1) / sector_bytes * sector_bytes; sector < end;
         sector += sector_bytes) {
        write_stamp(sector_stamp{pattern.identity, pattern.stream, file, sector}, block + (sector - offset));
    }
    return block;
}
