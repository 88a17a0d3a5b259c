#include <fcntl.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "platform/platform.hpp"

int compare_ignoring_case(const char* a, const char* b) { return strcasecmp(a, b); }

char directory_separator() { return '/'; }

std::uint64_t process_id() { return static_cast<std::uint64_t>(getpid()); }

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

bool free_space(const std::string& directory, std::uint64_t& bytes) {
    struct statvfs state {};
    // A file system that reports no size at all (ramfs) has free space no one can tell.
    if (statvfs(directory.c_str(), &state) != 0 || state.f_blocks == 0) return false;
    bytes = static_cast<std::uint64_t>(state.f_bavail) * state.f_frsize;
    return true;
}
