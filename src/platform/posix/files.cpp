#include <fcntl.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/platform.hpp"

int compare_ignoring_case(const char* a, const char* b) { return strcasecmp(a, b); }

char directory_separator() { return '/'; }

std::uint64_t process_id() { return static_cast<std::uint64_t>(getpid()); }

std::uint64_t raise_open_files_limit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
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
