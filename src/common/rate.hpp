// Throughput figures: KiB per millisecond (printed as "Mo/s"), from the bytes the workers
// really moved.
#pragma once

#include <cstdint>

// KiB moved × 1000 ÷ elapsed µs, truncating, in 64-bit without overflow; a phase measured
// at 0 µs (or less) counts as 1 µs.
std::uint64_t rate_kib_per_ms(std::uint64_t kib, std::int64_t duration_us);
