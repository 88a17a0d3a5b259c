#include "results/stage_names.hpp"

#include <algorithm>
#include <cstddef>

namespace {

// A stage is a cache's when it ran at least this many times faster than the stage after it.
constexpr double cache_speedup = 1.5;
// What the OS held when its cache's stage ended, against its dirty limit: Linux starts holding
// writers back below the limit (midway from the background limit) and sets the limit by the
// memory free for file data, less than the machine's; it lets a little past it.
constexpr double least_os_share = 0.25;
constexpr double most_os_share = 1.25;
// Far larger than the OS could hold: the device's own cache.
constexpr double device_share = 2;

double seconds_of(const rate_stage& stage) { return static_cast<double>(stage.end_us - stage.start_us) / 1e6; }

// What a fast stage left waiting in the OS's cache at its end: its bytes, less those the
// device wrote meanwhile at the rate of the stage after it.
double held_at_end(const rate_stage& stage, const rate_stage& next) {
    const double bytes = static_cast<double>(stage.end_bytes - stage.start_bytes);
    return std::max(bytes - next.start_bytes_per_second * seconds_of(stage), 0.0);
}

}  // namespace

const char* stage_kind_name(stage_kind kind) {
    switch (kind) {
        case stage_kind::os_cache: return "os_cache";
        case stage_kind::device_cache: return "device_cache";
        case stage_kind::decline: return "decline";
        case stage_kind::steady: break;
    }
    return "steady";
}

std::vector<named_stage> name_stages(const std::vector<rate_stage>& stages, const stage_facts& facts) {
    std::vector<named_stage> named;
    // With the OS's limit unknown, no more than the machine's memory could wait in its cache.
    const std::uint64_t os_could_hold = facts.dirty_limit_bytes != 0 ? facts.dirty_limit_bytes : facts.memory_bytes;
    // Only the first fast stage that is not the OS's cache can be a device's: a later one is
    // a slower stage after a cache that the evidence did not name.
    bool fast_seen = false;
    for (std::size_t k = 0; k < stages.size(); ++k) {
        const rate_stage& stage = stages[k];
        named_stage entry{stage, stage_kind::steady, facts.eviction_bytes + stage.start_bytes,
                          facts.eviction_bytes + stage.end_bytes};
        const bool fast = k + 1 < stages.size() &&
                          stage.median_bytes_per_second >= cache_speedup * stages[k + 1].start_bytes_per_second;
        if (stage.sloped && stage.end_bytes_per_second < stage.start_bytes_per_second) {
            entry.kind = stage_kind::decline;
        } else if (fast && facts.writing) {
            const double held = held_at_end(stage, stages[k + 1]);
            const double limit = static_cast<double>(facts.dirty_limit_bytes);
            const bool after_os_cache = k > 0 && named.back().kind == stage_kind::os_cache;
            if (k == 0 && !facts.unbuffered && limit > 0 && held >= least_os_share * limit &&
                held <= most_os_share * limit)
                entry.kind = stage_kind::os_cache;
            else if (!fast_seen && (facts.unbuffered || after_os_cache ||
                                    (os_could_hold != 0 && held > device_share * static_cast<double>(os_could_hold))))
                entry.kind = stage_kind::device_cache;
            fast_seen = fast_seen || entry.kind != stage_kind::os_cache;
        }
        named.push_back(entry);
    }
    return named;
}
