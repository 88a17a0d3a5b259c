#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/descriptors.hpp"

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

namespace {
// The kernel's ceiling for any process's open files (fs.nr_open); 0 where it can't be read.
rlim_t kernel_open_files_ceiling() {
    std::ifstream setting("/proc/sys/fs/nr_open");
    unsigned long long ceiling = 0;
    return setting >> ceiling ? static_cast<rlim_t>(ceiling) : 0;
}
}  // namespace

std::uint64_t raise_open_files_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    // A process that may (root, CAP_SYS_RESOURCE) raises the hard limit too, up to the
    // kernel's ceiling; for any other the attempt fails and the hard limit stays.
    const rlim_t ceiling = kernel_open_files_ceiling();
    if (limit.rlim_max != RLIM_INFINITY && ceiling > limit.rlim_max) {
        const rlimit raised{ceiling, ceiling};
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : static_cast<std::uint64_t>(limit.rlim_cur);
}
