#include "data/pattern.hpp"

#include "common/random.hpp"
#include "data/block_fill.hpp"
#include "data/stamp.hpp"

namespace {

// The key of file `file` of the pattern's stream and pass.
std::uint64_t file_key(const data_pattern& pattern, std::uint32_t file) {
    return mix64(pattern.identity ^ mix64(std::uint64_t{pattern.stream} << 32 | file));
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
    unsigned char* block = pattern.block.get();
    fill_block_words(generator_for(file_key(pattern, file), offset).state, reinterpret_cast<std::uint64_t*>(block),
                     pattern.block_bytes / 8);
    const std::uint64_t first_sector = (offset + sector_bytes - 1) / sector_bytes * sector_bytes;
    const std::uint64_t end = offset + pattern.block_bytes;
    if (first_sector < end)
        write_stamps(sector_stamp{pattern.identity, pattern.stream, file, first_sector},
                     (end - first_sector + sector_bytes - 1) / sector_bytes, block + (first_sector - offset));
    return block;
}
