#include "data/block_fill.hpp"

#include <array>

#include "common/random.hpp"

namespace {

constexpr std::size_t lanes = 8;
constexpr std::size_t long_lag = 15 * lanes;
constexpr std::size_t short_lag = 7 * lanes;
constexpr std::uint64_t golden_gamma = 0x9E3779B97F4A7C15ull;

// One body for every variant, compiled into each with its instruction set.
[[gnu::always_inline]] inline void fill_words(std::uint64_t key, std::uint64_t* __restrict words, std::size_t count) {
    const std::size_t seeded = count < long_lag ? count : long_lag;
    // splitmix64 with no chain between words, so that the seeds vectorise too.
    for (std::size_t k = 0; k < seeded; ++k) words[k] = mix64(key + (k + 1) * golden_gamma);
    // An odd seed in every lane gives its lowest bit the full period.
    for (std::size_t k = 0; k < lanes && k < seeded; ++k) words[k] |= 1;
    for (std::size_t k = long_lag; k < count; ++k) words[k] = words[k - long_lag] + words[k - short_lag];
}

void fill_portable(std::uint64_t key, std::uint64_t* words, std::size_t count) { fill_words(key, words, count); }

[[gnu::target("avx2")]] void fill_avx2(std::uint64_t key, std::uint64_t* words, std::size_t count) {
    fill_words(key, words, count);
}

// AVX-512DQ multiplies 64-bit lanes, for the seeds.
[[gnu::target("avx512f,avx512dq,avx512vl,prefer-vector-width=512")]] void fill_avx512(std::uint64_t key,
                                                                                      std::uint64_t* words,
                                                                                      std::size_t count) {
    fill_words(key, words, count);
}

bool always() { return true; }

bool has_avx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool has_avx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
           __builtin_cpu_supports("avx512vl");
}

constexpr std::array<fill_variant, 3> variants{{
    {"portable", always, fill_portable},
    {"avx2", has_avx2, fill_avx2},
    {"avx512", has_avx512, fill_avx512},
}};

}  // namespace

std::span<const fill_variant> fill_variants() { return variants; }

void fill_block_words(std::uint64_t key, std::uint64_t* words, std::size_t count) {
    static const auto fill = [] {
        auto chosen = variants[0].fill;
        for (const fill_variant& variant : variants)
            if (variant.runs_here()) chosen = variant.fill;
        return chosen;
    }();
    fill(key, words, count);
}
