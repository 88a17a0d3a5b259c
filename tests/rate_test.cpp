// The figure arithmetic at its edges: KiB × 1000 ÷ µs, truncating, never dividing by zero
// and never overflowing within the accepted settings.
#include <gtest/gtest.h>

#include <cstdint>

#include "common/rate.hpp"

TEST(Rate, IsKibPerMillisecondTruncated) {
    EXPECT_EQ(rate_kib_per_ms(1024, 1000), 1024u);
    EXPECT_EQ(rate_kib_per_ms(1000, 3), 333333u);
    EXPECT_EQ(rate_kib_per_ms(1, 1001), 0u);
    EXPECT_EQ(rate_kib_per_ms(2097152, 2500000), 838u);
    EXPECT_EQ(rate_kib_per_ms(0, 5), 0u);
}

TEST(Rate, APhaseOfZeroMicrosecondsCountsAsOne) {
    EXPECT_EQ(rate_kib_per_ms(7, 0), 7000u);
    EXPECT_EQ(rate_kib_per_ms(7, -3), 7000u);
}

TEST(Rate, TheLargestRunDoesNotOverflow) {
    // 100 workers × 1,000,000 files × 102,400 MiB, in KiB.
    const std::uint64_t kib = 100ull * 1000000ull * 102400ull * 1024ull;
    EXPECT_EQ(rate_kib_per_ms(kib, 1), kib * 1000);
    EXPECT_EQ(rate_kib_per_ms(kib, 3), kib * 1000 / 3);
    EXPECT_EQ(rate_kib_per_ms(kib, 86400000000ll), kib / 86400000ull);
}
