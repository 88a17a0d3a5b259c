#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <cstdlib>

#include "platform/platform.hpp"

namespace {

// Probing asks once per number; beyond this many, a limit raised very high would cost
// seconds of calls for descriptors nobody opens that high.
constexpr std::uint64_t probe_ceiling = 1048576;

// Linux lists the open descriptors in /proc/self/fd; false when /proc is absent.
bool listed_count(std::uint64_t limit, std::uint64_t& count) {
    DIR* listing = opendir("/proc/self/fd");
    if (listing == nullptr) return false;
    const int own = dirfd(listing);
    count = 0;
    for (const dirent* entry; (entry = readdir(listing)) != nullptr;) {
        if (entry->d_name[0] == '.') continue;
        const unsigned long long descriptor = std::strtoull(entry->d_name, nullptr, 10);
        if (descriptor != static_cast<unsigned long long>(own) && descriptor < limit) ++count;
    }
    closedir(listing);
    return true;
}

}  // namespace

// Only descriptors below the limit take a place the test files could have: one inherited
// above it leaves every number below free.
bool open_descriptor_count(std::uint64_t limit, std::uint64_t& count) {
    if (listed_count(limit, count)) return true;
    count = 0;
    const int last = static_cast<int>(std::min(limit, probe_ceiling));
    for (int descriptor = 0; descriptor < last; ++descriptor)
        if (fcntl(descriptor, F_GETFD) != -1) ++count;
    return true;
}
