#include "common/rate.hpp"

std::uint64_t rate_kib_per_ms(std::uint64_t kib, std::int64_t duration_us) {
    const std::uint64_t us = duration_us < 1 ? 1 : static_cast<std::uint64_t>(duration_us);
    // Split so that kib × 1000 is never formed: the remainder term stays below us × 1000.
    return kib / us * 1000 + kib % us * 1000 / us;
}
