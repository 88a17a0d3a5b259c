#include "data/stamp.hpp"

#include <array>
#include <cstring>

#include "common/random.hpp"

namespace {

// Tells a stamp from any other data: random bytes unscramble to it once in 2^64.
constexpr std::uint64_t stamp_marker = 0x7f3c9a51e2b8d406ull;
constexpr int rounds = 3;

// Each step changes one word by a function of the other three, so undoing the steps in
// reverse order restores the stamp; after two rounds every bit of the result depends on
// every bit of the stamp.
constexpr auto step_keys = [] {
    std::array<std::uint64_t, rounds * 4> keys{};
    for (int k = 0; k < rounds * 4; ++k) keys[k] = mix64(std::uint64_t(k + 1) * 0x9E3779B97F4A7C15ull);
    return keys;
}();

std::uint64_t step_key(int round, int word) { return step_keys[round * 4 + word]; }

std::uint64_t others(const std::uint64_t (&words)[4], int word) {
    return words[(word + 1) % 4] + 3 * words[(word + 2) % 4] + 5 * words[(word + 3) % 4];
}

}  // namespace

void write_stamp(const sector_stamp& stamp, unsigned char* sector) {
    std::uint64_t words[4] = {stamp_marker, stamp.run, std::uint64_t{stamp.stream} << 32 | stamp.file, stamp.offset};
    for (int round = 0; round < rounds; ++round)
        for (int word = 0; word < 4; ++word) words[word] ^= mix64(others(words, word) ^ step_key(round, word));
    std::memcpy(sector, words, stamp_bytes);
}

bool read_stamp(const unsigned char* sector, sector_stamp& stamp) {
    std::uint64_t words[4];
    std::memcpy(words, sector, stamp_bytes);
    for (int round = rounds - 1; round >= 0; --round)
        for (int word = 3; word >= 0; --word) words[word] ^= mix64(others(words, word) ^ step_key(round, word));
    if (words[0] != stamp_marker) return false;
    stamp = sector_stamp{words[1], static_cast<std::uint32_t>(words[2] >> 32), static_cast<std::uint32_t>(words[2]),
                         words[3]};
    return true;
}
