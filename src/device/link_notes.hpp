// Figures no link could carry. After the write without cache (figure 2) and the read without
// cache (figure 4): a figure above what every link to the target's devices carries together
// came from a cache beyond the OS; in a virtual machine with no link known, an uncached read
// near the cached read may have come from the host's cache.
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

// The uncached read may reach this share of the cached read before the host's cache is
// suspected: a device read from the guest, however fast, rarely comes near the guest's memory.
inline constexpr double host_cache_share = 0.5;

// `mb_per_second` of the write (`read` false) or the read, against the target's links.
std::optional<link_note> beyond_link_note(const target_identity& target, double mb_per_second, bool read);

// In a virtual machine whose target has no known link (a virtual disk), when the uncached read,
// a second or longer (a shorter one says little), reached host_cache_share of the cached read:
// the evidence of a cache a guest can have, so the note says what may be. A device that reads
// faster than it writes (an SD card, a USB stick) gives no such evidence, and nor do reads that
// bypass the OS cache both times (`unbuffered`).
std::optional<link_note> host_cache_note(const measured_on& on, double cached_read_mb_per_second,
                                         double read_mb_per_second, std::int64_t read_us, bool unbuffered);
