// Figures no link could carry. After the write without cache (figure 2) and the read without
// cache (figure 4): a figure above what every link to the target's devices carries together
// came from a cache beyond the OS; in a virtual machine with no link known, an uncached read
// much faster than the forced write may have come from the host's cache.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/identity.hpp"

struct link_note {
    std::string kind;                 // "beyond_link" or "host_cache"
    std::optional<std::string> link;  // the one device's link; none for several, or the host's cache
    std::optional<double> ceiling_mb_per_second;
    std::string text;  // the console's line
};

// The uncached read may be this many times the forced write before the host's cache is suspected.
inline constexpr double host_cache_ratio = 3;

// `mb_per_second` of the write (`read` false) or the read, against the target's links.
std::optional<link_note> beyond_link_note(const target_identity& target, double mb_per_second, bool read);

// In a virtual machine whose target has no known link (a virtual disk), when the uncached read
// was more than host_cache_ratio times the forced write, both phases a second or longer (a
// shorter one says little).
std::optional<link_note> host_cache_note(const measured_on& on, double write_mb_per_second, std::int64_t write_us,
                                         double read_mb_per_second, std::int64_t read_us);
