#include "common/random.hpp"

#include <chrono>
#include <cstring>
#include <mutex>
#include <random>

#include "platform/system_info.hpp"

namespace {

constexpr std::uint64_t golden_gamma = 0x9E3779B97F4A7C15ull;
// The names' generator: workers that find a name taken draw again while others run.
std::mutex letters_lock;
byte_generator letters{0};

std::uint64_t next_word(byte_generator& generator) { return mix64(generator.state += golden_gamma); }

}  // namespace

std::uint64_t draw_run_seed() {
    std::random_device entropy;
    const std::uint64_t drawn = (std::uint64_t{entropy()} << 32) ^ entropy();
    const auto clock = static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
    return mix64(drawn ^ mix64(process_id() * golden_gamma) ^ mix64(clock));
}

void seed_names(std::uint64_t seed) {
    std::lock_guard<std::mutex> guard(letters_lock);
    letters = generator_for(seed, 0);
}

char random_letter() {
    std::lock_guard<std::mutex> guard(letters_lock);
    return static_cast<char>('a' + next_word(letters) % 26);
}

byte_generator generator_for(std::uint64_t seed, std::uint64_t stream_number) {
    return byte_generator{mix64(seed ^ (stream_number + 1) * golden_gamma)};
}

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
