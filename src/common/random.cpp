#include "common/random.hpp"

#include <cstdlib>
#include <cstring>

std::uint64_t run_seed = 0;

char random_letter() { return static_cast<char>('a' + std::rand() % 26); }

byte_generator generator_for(std::uint64_t stream_number) {
    return byte_generator{run_seed ^ (stream_number + 1) * 0x9E3779B97F4A7C15ull};
}

namespace {
// splitmix64: eight good bytes per step for a few instructions.
std::uint64_t next_word(byte_generator& g) {
    std::uint64_t z = (g.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
}  // namespace

void fill_random(byte_generator& generator, unsigned char* buffer, std::size_t size) {
    std::size_t done = 0;
    for (; done + 8 <= size; done += 8) {
        const std::uint64_t word = next_word(generator);
        std::memcpy(buffer + done, &word, 8);
    }
    if (done < size) {
        const std::uint64_t word = next_word(generator);
        std::memcpy(buffer + done, &word, size - done);
    }
}
