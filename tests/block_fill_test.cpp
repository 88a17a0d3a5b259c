// Every way of making a block makes the same bytes: a file one CPU wrote is verified by a rank
// on another, whose CPU may pick another variant of the generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/block_fill.hpp"
#include "data/stamp.hpp"

TEST(BlockFill, EveryVariantThisCpuRunsMakesThePortableBytes) {
    const std::vector<fill_variant> variants(fill_variants().begin(), fill_variants().end());
    ASSERT_EQ(std::string(variants.front().name), "portable");
    std::vector<std::string> absent;
    for (const fill_variant& variant : variants)
        if (!variant.runs_here()) absent.push_back(variant.name);
    if (absent.size() + 1 == variants.size()) GTEST_SKIP() << "only the portable variant runs on this CPU";
    for (const std::string& name : absent) std::printf("variant %s does not run on this CPU: not compared\n", name.c_str());

    // Blocks of 1, 3, 4, 100 and 1024 KiB, the buffer on a 64-byte boundary or 8 bytes past one.
    for (const std::size_t count : {128u, 384u, 512u, 12800u, 131072u}) {
        for (const std::size_t skew : {0u, 1u}) {
            for (const std::uint64_t key : {0ull, 1ull, 0x9E3779B97F4A7C15ull, ~0ull}) {
                SCOPED_TRACE(std::to_string(count) + " words, skew " + std::to_string(skew) + ", key " +
                             std::to_string(key));
                std::vector<std::uint64_t> expected(count);
                variants.front().fill(key, expected.data(), count);
                std::vector<std::uint64_t> storage(count + 16, 0);
                const std::size_t to_boundary = (64 - reinterpret_cast<std::uintptr_t>(storage.data()) % 64) % 64 / 8;
                std::uint64_t* words = storage.data() + to_boundary + skew;
                for (const fill_variant& variant : variants) {
                    if (!variant.runs_here()) continue;
                    std::fill(storage.begin(), storage.end(), 0);
                    variant.fill(key, words, count);
                    EXPECT_EQ(std::memcmp(words, expected.data(), count * 8), 0) << variant.name;
                }
                std::fill(storage.begin(), storage.end(), 0);
                fill_block_words(key, words, count);
                EXPECT_EQ(std::memcmp(words, expected.data(), count * 8), 0) << "the variant the run uses";
            }
        }
    }
}

TEST(BlockFill, StampsMadeTogetherAreThoseMadeOneByOne) {
    // Seven sectors: one group of four made side by side, then three alone.
    const sector_stamp first{0x0123456789abcdefull, 7, 3, 5 * sector_bytes};
    std::vector<unsigned char> together(7 * sector_bytes, 0), alone(7 * sector_bytes, 0);
    write_stamps(first, 7, together.data());
    for (std::size_t k = 0; k < 7; ++k) {
        sector_stamp stamp = first;
        stamp.offset += k * sector_bytes;
        write_stamp(stamp, alone.data() + k * sector_bytes);
    }
    EXPECT_EQ(together, alone);
}
