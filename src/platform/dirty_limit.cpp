#include "platform/dirty_limit.hpp"

std::uint64_t dirty_limit_bytes(const dirty_settings& settings, std::uint64_t memory_bytes) {
    if (!settings.known) return 0;
    if (settings.dirty_bytes != 0) return settings.dirty_bytes;
    return memory_bytes / 100 * settings.dirty_ratio_percent;
}
