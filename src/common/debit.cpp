#include "common/debit.hpp"

std::atomic<std::uint64_t> octets_deplaces{0};

std::uint64_t debit_ko_par_ms(std::uint64_t kib, std::int64_t duree_us) {
    const std::uint64_t us = duree_us < 1 ? 1 : static_cast<std::uint64_t>(duree_us);
    // Split so that kib × 1000 is never formed: the remainder term stays below us × 1000.
    return kib / us * 1000 + kib % us * 1000 / us;
}
