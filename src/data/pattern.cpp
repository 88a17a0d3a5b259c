#include "data/pattern.hpp"

#include <numeric>

#include "common/random.hpp"
#include "data/stamp.hpp"

std::uint32_t current_pass = 0;

namespace {
// The largest record a compressing file system or deduplicating store works on.
constexpr std::size_t record_bytes = 1048576;
}  // namespace

std::uint64_t pass_identity() { return mix64(run_seed ^ mix64(current_pass + 1)); }

bool make_pattern(data_pattern& pattern, std::uint32_t stream, std::size_t block_bytes) {
    pattern.block_bytes = block_bytes;
    pattern.period_blocks = sector_bytes / std::gcd(block_bytes, sector_bytes);
    const std::size_t blocks_for_a_record = (record_bytes + block_bytes - 1) / block_bytes;
    pattern.pool_blocks =
        (blocks_for_a_record + pattern.period_blocks - 1) / pattern.period_blocks * pattern.period_blocks;
    pattern.identity = pass_identity();
    pattern.stream = stream;
    pattern.pool = new_buffer(pattern.pool_blocks * block_bytes);
    if (!pattern.pool) return false;
    byte_generator generator = generator_for(pattern.identity, stream);
    fill_random(generator, pattern.pool.get(), pattern.pool_blocks * block_bytes);
    return true;
}

const unsigned char* pattern_block(data_pattern& pattern, std::uint32_t file, std::uint64_t offset) {
    const std::uint64_t block_number = offset / pattern.block_bytes;
    const std::size_t slot = (block_number + std::uint64_t{file} * pattern.period_blocks) % pattern.pool_blocks;
    unsigned char* block = pattern.pool.get() + slot * pattern.block_bytes;
    const std::uint64_t end = offset + pattern.block_bytes;
    for (std::uint64_t sector = (offset + sector_bytes - 1) / sector_bytes * sector_bytes; sector < end;
         sector += sector_bytes) {
        write_stamp(sector_stamp{pattern.identity, pattern.stream, file, sector}, block + (sector - offset));
    }
    return block;
}
