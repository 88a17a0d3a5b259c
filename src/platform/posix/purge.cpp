#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/platform.hpp"

namespace {
std::string failed_file;
std::string failure_reason;
}  // namespace

// Linux has no standby list to purge as a whole without privilege; instead each file's
// cached pages are dropped. They are clean by now (every file was forced to the device),
// so the kernel can let them go, for any user, without touching other processes' cache.
purge_failure purge_file_cache(const std::vector<std::string>& files) {
    failed_file.clear();
    failure_reason.clear();
    for (const std::string& name : files) {
        int error = 0;
        const int descriptor = open(name.c_str(), O_RDONLY);
        if (descriptor < 0) {
            error = errno;
        } else {
            error = posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
            close(descriptor);
        }
        if (error != 0 && failed_file.empty()) {
            failed_file = name;
            failure_reason = std::generic_category().message(error);
        }
    }
    return failed_file.empty() ? purge_failure::none : purge_failure::ntstatus;
}

bool purge_failure_detail(std::string& file, std::string& reason) {
    if (failed_file.empty()) return false;
    file = failed_file;
    reason = failure_reason;
    return true;
}
