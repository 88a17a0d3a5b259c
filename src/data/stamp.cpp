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

// What a step mixes into one word: the three that follow it, around.
std::uint64_t others(std::uint64_t next, std::uint64_t second, std::uint64_t third) {
    return next + 3 * second + 5 * third;
}

// Scrambles `count` stamps' words, held word by word ({markers}, {runs}, ...), side by side:
// one stamp's steps each wait on the last, those of several overlap.
template <std::size_t count>
void scramble(std::uint64_t (&words)[4][count]) {
    for (int round = 0; round < rounds; ++round)
        for (int word = 0; word < 4; ++word)
            for (std::size_t k = 0; k < count; ++k)
                words[word][k] ^= mix64(others(words[(word + 1) % 4][k], words[(word + 2) % 4][k],
                                               words[(word + 3) % 4][k]) ^
                                        step_key(round, word));
}

template <std::size_t count>
void write_stamps_together(const sector_stamp& first, unsigned char* sectors) {
    std::uint64_t words[4][count];
    for (std::size_t k = 0; k < count; ++k) {
        words[0][k] = stamp_marker;
        words[1][k] = first.run;
        words[2][k] = std::uint64_t{first.stream} << 32 | first.file;
        words[3][k] = first.offset + k * sector_bytes;
    }
    scramble(words);
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint64_t stamp[4] = {words[0][k], words[1][k], words[2][k], words[3][k]};
        std::memcpy(sectors + k * sector_bytes, stamp, stamp_bytes);
    }
}

}  // namespace

void write_stamp(const sector_stamp& stamp, unsigned char* sector) { write_stamps_together<1>(stamp, sector); }

void write_stamps(const sector_stamp& first, std::size_t count, unsigned char* sectors) {
    constexpr std::size_t together = 4;
    sector_stamp stamp = first;
    for (; count >= together; count -= together) {
        write_stamps_together<together>(stamp, sectors);
        stamp.offset += together * sector_bytes;
        sectors += together * sector_bytes;
    }
    for (; count > 0; --count) {
        write_stamp(stamp, sectors);
        stamp.offset += sector_bytes;
        sectors += sector_bytes;
    }
}

bool read_stamp(const unsigned char* sector, sector_stamp& stamp) {
    std::uint64_t words[4];
    std::memcpy(words, sector, stamp_bytes);
    for (int round = rounds - 1; round >= 0; --round)
        for (int word = 3; word >= 0; --word)
            words[word] ^= mix64(others(words[(word + 1) % 4], words[(word + 2) % 4], words[(word + 3) % 4]) ^
                                 step_key(round, word));
    if (words[0] != stamp_marker) return false;
    stamp = sector_stamp{words[1], static_cast<std::uint32_t>(words[2] >> 32), static_cast<std::uint32_t>(words[2]),
                         words[3]};
    return true;
}
